// The guarded file read every input reader shares: what each kind of path
// gives, the size bound, and reading a file in pieces.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/FileRead.h"
#include "tests/support/scratch_dir.h"

namespace {

using platform::FileReadResult;
using platform::ReadRegularFile;
using platform::RegularFileReader;

// Only a regular file within the bound is read; everything else leaves the
// bytes empty at once, a FIFO with no writer and an endless device included.
TEST(ReadRegularFile, OnlyARegularFileWithinTheBoundIsRead) {
    ScratchDir dir;
    dir.Write("four", "abcd");
    dir.Write("empty", "");
    dir.Write("folder/inside", "x");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);

    std::string bytes = "stale";
    EXPECT_EQ(ReadRegularFile((dir / "four").c_str(), 4, &bytes), FileReadResult::Read);
    EXPECT_EQ(bytes, "abcd");
    EXPECT_EQ(ReadRegularFile((dir / "four").c_str(), 3, &bytes), FileReadResult::TooLarge);
    EXPECT_EQ(bytes, "");
    bytes = "stale";
    EXPECT_EQ(ReadRegularFile((dir / "empty").c_str(), 0, &bytes), FileReadResult::Read);
    EXPECT_EQ(bytes, "");

    for (const std::string& path : {dir / "folder", dir / "fifo", std::string("/dev/zero")}) {
        bytes = "stale";
        EXPECT_EQ(ReadRegularFile(path.c_str(), UINT64_MAX, &bytes), FileReadResult::NotRegular) << path;
        EXPECT_EQ(bytes, "") << path;
    }
    bytes = "stale";
    EXPECT_EQ(ReadRegularFile((dir / "absent").c_str(), 4, &bytes), FileReadResult::NotOpened);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(ReadRegularFile(nullptr, 4, &bytes), FileReadResult::NotOpened);
}

// Pieces follow on from each other and stop at the end of the file; a size
// no string can hold is refused without throwing; what is not a regular file
// opens but reads nothing.
TEST(RegularFileReader, ReadsInPiecesUpToTheEnd) {
    ScratchDir dir;
    dir.Write("ten", "0123456789");
    RegularFileReader file((dir / "ten").c_str());
    ASSERT_TRUE(file.Opened());
    ASSERT_TRUE(file.Regular());
    EXPECT_EQ(file.Size(), 10u);

    std::string bytes = ">";
    EXPECT_TRUE(file.Append(4, &bytes));
    EXPECT_EQ(bytes, ">0123");
    EXPECT_FALSE(file.Append(UINT64_MAX, &bytes));
    EXPECT_EQ(bytes, ">0123");
    char rest[16] = {};
    EXPECT_EQ(file.Read(rest, 3), 3u);
    EXPECT_EQ(std::string(rest), "456");
    EXPECT_TRUE(file.Append(100, &bytes));
    EXPECT_EQ(bytes, ">0123789");
    EXPECT_EQ(file.Read(rest, sizeof rest), 0u);

    RegularFileReader folder(dir.path().c_str());
    EXPECT_TRUE(folder.Opened());
    EXPECT_FALSE(folder.Regular());
    EXPECT_EQ(folder.Size(), 0u);
    EXPECT_EQ(folder.Read(rest, sizeof rest), 0u);
    EXPECT_FALSE(RegularFileReader((dir / "absent").c_str()).Opened());
}

}  // namespace
