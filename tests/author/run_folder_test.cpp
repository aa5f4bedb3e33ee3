// The author's run folder: hidden inside the show folder, links only, gone
// afterwards; one left by a killed author is cleared by the next without
// touching what its links point to or anything else put there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "author/RunFolder.h"
#include "tests/support/scratch_dir.h"

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t size = readlink(path.c_str(), target, sizeof target);
    return size < 0 ? "" : std::string(target, static_cast<size_t>(size));
}

// The id of a process that has ended and been reaped.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

struct RunFolderTest : ::testing::Test {
    RunFolderTest() {
        show.Write("Audio/song.ogg", "music");
        show.Write("Config.txt", "FSAA = 0;\n");
        shaders.Write("Plain.vert", "void main() {}\n");
    }
    ScratchDir show;
    ScratchDir shaders;
};

TEST_F(RunFolderTest, LinksTheShowInAHiddenFolderOfItsOwnAndLeavesNothingBehind) {
    std::string path;
    {
        RunFolder run;
        std::string error;
        ASSERT_TRUE(run.Make(show.path(), shaders.path(), &error)) << error;
        path = run.path();
        EXPECT_EQ(path, show / (".tessel-author-" + std::to_string(getpid())));
        EXPECT_EQ(LinkTarget(path + "/Shaders"), shaders.path());
        EXPECT_EQ(LinkTarget(path + "/Audio"), show / "Audio");
        EXPECT_EQ(LinkTarget(path + "/Config.txt"), show / "Config.txt");
        EXPECT_FALSE(Exists(path + "/Textures")) << "a missing part is not linked";
    }
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(show.Read("Audio/song.ogg"), "music");
    EXPECT_EQ(shaders.Read("Plain.vert"), "void main() {}\n");
}

TEST_F(RunFolderTest, AFolderLeftByAKilledAuthorIsClearedButWhatItHeldIsKept) {
    const std::string dead = show / (".tessel-author-" + std::to_string(EndedProcess()));
    const std::string alive = show / (".tessel-author-" + std::to_string(getppid()));
    const std::string kept = show / (".tessel-author-" + std::to_string(EndedProcess()));
    show.Link(dead.substr(show.path().size() + 1) + "/Audio", show / "Audio");
    show.Link(alive.substr(show.path().size() + 1) + "/Audio", show / "Audio");
    show.Write(kept.substr(show.path().size() + 1) + "/notes.txt", "mine");

    RunFolder run;
    std::string error;
    ASSERT_TRUE(run.Make(show.path(), shaders.path(), &error)) << error;
    EXPECT_FALSE(Exists(dead)) << "its author has ended";
    EXPECT_TRUE(Exists(alive + "/Audio")) << "its author still runs";
    EXPECT_EQ(show.Read(kept.substr(show.path().size() + 1) + "/notes.txt"), "mine") << "only links are removed";
    EXPECT_EQ(show.Read("Audio/song.ogg"), "music");
}

TEST_F(RunFolderTest, ARunFolderNeedsAShowFolder) {
    ScratchDir empty;
    RunFolder run;
    std::string error;
    EXPECT_FALSE(run.Make(empty.path(), shaders.path(), &error));
    EXPECT_NE(error.find("./Audio is missing"), std::string::npos) << error;
}

}  // namespace
