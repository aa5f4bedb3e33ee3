// The output helper: a written file is exactly its bytes with the replaced
// file's mode; a full disk, a read-only folder, a folder in the way or a
// signal leave the previous file as it was and no temporary behind; a
// folder's set is replaced whole or not at all.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/OutputFile.h"
#include "tests/support/failing_disk.h"
#include "tests/support/scratch_dir.h"

namespace {

const std::string kLarge(200 * 1024, 'x');

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

}  // namespace

TEST(OutputFile, WritesExactlyTheBytesAndKeepsTheReplacedFilesModeAndLink) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(platform::WriteFileAtomically(dir / "new.bin", std::string("a\0b", 3), &error)) << error;
    EXPECT_EQ(dir.Read("new.bin"), std::string("a\0b", 3));

    dir.Write("kept.txt", "old");
    chmod((dir / "kept.txt").c_str(), 0604);
    ASSERT_TRUE(platform::WriteFileAtomically(dir / "kept.txt", "new", &error)) << error;
    EXPECT_EQ(dir.Read("kept.txt"), "new");
    EXPECT_EQ(ModeOf(dir / "kept.txt"), 0604u);

    dir.Write("real/target.txt", "old");
    dir.Link("link.txt", dir / "real/target.txt");
    ASSERT_TRUE(platform::WriteFileAtomically(dir / "link.txt", "through", &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));
    EXPECT_EQ(dir.Read("real/target.txt"), "through");
    EXPECT_TRUE(HiddenEntriesIn(dir.path()).empty());
    EXPECT_TRUE(HiddenEntriesIn(dir / "real").empty());

    ASSERT_TRUE(platform::WriteFileAtomically("/dev/null", "gone", &error)) << error;
    struct stat device {};
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode)) << "a device is written to, never replaced";
}

TEST(OutputFile, StreamedWritesWithSeeksAppearOnlyAtCommit) {
    ScratchDir dir;
    dir.Write("out.bin", "previous");
    std::string error;
    {
        platform::OutputFile file;
        ASSERT_TRUE(file.Open(dir / "out.bin", &error)) << error;
        EXPECT_TRUE(file.Write("0123456789", 10));
        EXPECT_EQ(file.Seek(2, SEEK_SET), 2);
        EXPECT_TRUE(file.Write("ab", 2));
        EXPECT_EQ(file.Size(), 10);
        EXPECT_EQ(dir.Read("out.bin"), "previous");
        ASSERT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_EQ(dir.Read("out.bin"), "01ab456789");
    {
        platform::OutputFile abandoned;
        ASSERT_TRUE(abandoned.Open(dir / "out.bin", &error)) << error;
        abandoned.Write("lost", 4);
        EXPECT_EQ(HiddenEntriesIn(dir.path()).size(), 1u);
    }
    EXPECT_EQ(dir.Read("out.bin"), "01ab456789");
    EXPECT_TRUE(HiddenEntriesIn(dir.path()).empty());
}

TEST(OutputFile, AFullDiskLeavesThePreviousFileAndNoTemporary) {
    SmallDisk disk(64 * 1024, {{"song.ogg", "previous song"}});
    const int status = disk.RunInChild([&] {
        std::string error;
        if (platform::WriteFileAtomically(disk / "song.ogg", kLarge, &error)) return 10;
        return error == disk / "song.ogg" + ": " + disk.Reason() ? 0 : 11;
    });
    EXPECT_EQ(status, 0) << "10: reported success, 11: another message";
    EXPECT_EQ(ReadFileBytes(disk / "song.ogg"), "previous song");
    EXPECT_TRUE(HiddenEntriesIn(disk.path()).empty());
}

TEST(OutputFile, RefusedFoldersAndNamesGiveTheReason) {
    ReadOnlyFolder locked(std::map<std::string, std::string>{{"old.txt", "old"}});
    std::string error;
    if (locked.Usable()) {
        EXPECT_FALSE(platform::WriteFileAtomically(locked / "old.txt", "new", &error));
        EXPECT_EQ(error, locked / "old.txt" + ": " + locked.Reason());
        EXPECT_EQ(ReadFileBytes(locked / "old.txt"), "old");
    }
    ScratchDir dir;
    dir.Write("folder/inside", "x");
    EXPECT_FALSE(platform::WriteFileAtomically(dir / "folder", "new", &error));
    EXPECT_EQ(error, dir / "folder" + ": Is a directory");
    EXPECT_FALSE(platform::WriteFileAtomically(dir / "missing/file", "new", &error));
    EXPECT_EQ(error, dir / "missing/file" + ": No such file or directory");
    EXPECT_FALSE(platform::WriteFileAtomically("", "new", &error));
    EXPECT_TRUE(HiddenEntriesIn(dir.path()).empty());
}

TEST(OutputFile, ASignalDuringAWriteLeavesThePreviousFilesAndNoTemporaries) {
    ScratchDir dir;
    dir.Write("out.bin", "previous");
    dir.Write("set/_a.track", "old a");
    const pid_t child = fork();
    if (child == 0) {
        platform::OutputFile file;
        platform::OutputFolder folder;
        std::string error;
        if (!file.Open(dir / "out.bin", &error) || !file.Write("half", 4) || !folder.Open(dir / "set", &error) ||
            !platform::WriteFileAtomically(folder.TemporaryPath() + "/_b.track", "new b", &error)) {
            _exit(1);
        }
        raise(SIGTERM);
        _exit(2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM) << "the signal still ends the program";
    EXPECT_EQ(dir.Read("out.bin"), "previous");
    EXPECT_EQ(FolderContents(dir / "set"), (std::map<std::string, std::string>{{"_a.track", "old a"}}));
    EXPECT_TRUE(HiddenEntriesIn(dir.path()).empty()) << ::testing::PrintToString(HiddenEntriesIn(dir.path()));
}

TEST(OutputFolder, ReplacesTheWholeSetOrNothing) {
    ScratchDir dir;
    dir.Write("sync/_old.track", "old");
    dir.Write("sync/_kept.track", "old kept");
    std::string error;
    {
        platform::OutputFolder folder;
        ASSERT_TRUE(folder.Open(dir / "sync", &error)) << error;
        ASSERT_TRUE(platform::WriteFileAtomically(folder.TemporaryPath() + "/_kept.track", "new kept", &error));
        EXPECT_EQ(dir.Read("sync/_kept.track"), "old kept");
    }
    EXPECT_EQ(FolderContents(dir / "sync"),
              (std::map<std::string, std::string>{{"_kept.track", "old kept"}, {"_old.track", "old"}}));
    EXPECT_TRUE(HiddenEntriesIn(dir.path()).empty());

    platform::OutputFolder folder;
    ASSERT_TRUE(folder.Open(dir / "sync", &error)) << error;
    ASSERT_TRUE(platform::WriteFileAtomically(folder.TemporaryPath() + "/_kept.track", "new kept", &error));
    ASSERT_TRUE(folder.Commit(&error)) << error;
    EXPECT_EQ(FolderContents(dir / "sync"), (std::map<std::string, std::string>{{"_kept.track", "new kept"}}));
    EXPECT_TRUE(HiddenEntriesIn(dir.path()).empty());

    platform::OutputFolder fresh;
    ASSERT_TRUE(fresh.Open(dir / "new/", &error)) << error;
    ASSERT_TRUE(fresh.Commit(&error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "new"));

    dir.Write("file", "x");
    EXPECT_FALSE(fresh.Open(dir / "file", &error));
    EXPECT_EQ(error, dir / "file" + ": Not a directory");
}

TEST(OutputFolder, AFullDiskKeepsThePreviousSet) {
    SmallDisk disk(64 * 1024, {{"sync/_a.track", "old a"}});
    const int status = disk.RunInChild([&] {
        platform::OutputFolder folder;
        std::string error;
        if (!folder.Open(disk / "sync", &error)) return 10;
        for (const char* name : {"/_a.track", "/_b.track", "/_c.track"}) {
            if (!platform::WriteFileAtomically(folder.TemporaryPath() + name, kLarge, &error)) return 0;
        }
        return folder.Commit(&error) ? 11 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(FolderContents(disk / "sync"), (std::map<std::string, std::string>{{"_a.track", "old a"}}));
    EXPECT_TRUE(HiddenEntriesIn(disk.path()).empty());
}
