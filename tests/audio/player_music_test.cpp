// The real player with the music as its clock: a short song plays to its
// end and the run ends by itself; with no song or no audio device the run
// ends on its first frame, with the music player's error lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/audio/support/test_song.h"
#include "tests/support/player_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/xvfb_server.h"

namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

PlayerResult Play(const ScratchDir& dir, const std::map<std::string, std::string>& environment) {
    XvfbServer x(1280, 720);
    EXPECT_TRUE(x.ok());
    PlayerOptions options;
    options.showFolders = {"Shaders", "Textures"};
    options.environment = environment;
    options.timeoutSeconds = 60;
    return RunPlayer(x.name(), dir, options);
}

}  // namespace

TEST(PlayerMusic, ShortSongPlaysToItsEndAndTheRunEndsByItself) {
    ScratchDir dir;
    dir.Write("Audio/.keep", "");
    ASSERT_TRUE(MakeTestSong(dir / "Audio/Song_094_Final.ogg", 2, 44100, 1.5));
    PlayerResult run = Play(dir, {});
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(HasPrefix(run.lines, "OpenAL Device Specifier: ")) << run.stderrText;
    EXPECT_TRUE(HasLine(run.lines, "Sync System Initialized."));
    EXPECT_FALSE(HasLine(run.lines, "ERROR: Failed To Read OggVorbis File!"));
}

TEST(PlayerMusic, MissingSongEndsTheRunOnTheFirstFrame) {
    ScratchDir dir;
    dir.Write("Audio/not-the-song.txt", "");
    PlayerResult run = Play(dir, {});
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(HasLine(run.lines, "ERROR: Failed To Read OggVorbis File!"));
}

TEST(PlayerMusic, NoAudioDeviceEndsTheRunOnTheFirstFrame) {
    ScratchDir dir;
    dir.Write("Audio/.keep", "");
    ASSERT_TRUE(MakeTestSong(dir / "Audio/Song_094_Final.ogg", 2, 44100, 1.5));
    // ALSA finds no sound card on these machines; skip where there is one.
    PlayerResult run = Play(dir, {{"ALSOFT_DRIVERS", "alsa"}});
    ASSERT_TRUE(run.started);
    if (HasPrefix(run.lines, "OpenAL Device Specifier: ")) GTEST_SKIP() << "this machine has a sound card";
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(HasLine(run.lines, "ERROR: Failed To Open Audio Device!"));
    EXPECT_TRUE(HasLine(run.lines, "ERROR: Failed To Initialize OpenAL Context!"));
    EXPECT_TRUE(HasLine(run.lines, "ERROR: Failed To Upload Song To OpenAL!"));
}
