// The real tessel-capture with no DISPLAY at all, checked with FFmpeg's own
// readers: the clip's streams, frame count, duration and sound against the
// song; the same command twice; bad options and outputs; an interruption.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/DecodeOggFile.h"
#include "tests/capture/media_reader.h"
#include "tests/support/player_run.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/show_folder.h"

namespace {

namespace fs = std::filesystem;

ProgramResult Capture(const ScratchDir& dir, const std::vector<std::string>& args,
                      const WhileRunning& whileRunning = nullptr) {
    return RunProgram(TESSEL_CAPTURE, args, dir.path(), {{"DISPLAY", std::nullopt}}, 600, whileRunning);
}

TEST(CaptureTool, ClipWithoutADisplayHoldsEveryFrameAndTheSong) {
    ShowFolder dir(ShowFolder::kBuiltShow);
    const ProgramResult run =
        Capture(dir, {"--from", "0", "--to", "3", "--fps", "30", "--width", "320", "--height", "180", "--out",
                      "clip.mp4"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("90 frames"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(dir / "CaptureLog.txt"));
    EXPECT_FALSE(fs::exists(dir / "LogFile.txt"));
    for (const auto& name : FileNamesIn(dir.path())) EXPECT_EQ(name.find(".partial"), std::string::npos) << name;

    const DecodedMedia media = ReadMedia(dir / "clip.mp4");
    ASSERT_TRUE(media.error.empty()) << media.error;
    EXPECT_EQ(media.videoStreams, 1);
    EXPECT_EQ(media.audioStreams, 1);
    EXPECT_EQ(media.videoCodec, "h264");
    EXPECT_EQ(media.audioCodec, "aac");
    EXPECT_EQ(media.pixelFormat, "yuv420p");
    EXPECT_EQ(media.width, 320);
    EXPECT_EQ(media.height, 180);
    EXPECT_EQ(media.videoPackets, 90);
    EXPECT_EQ(media.luma.size(), 90u);
    EXPECT_NEAR(media.videoSeconds, 3.0, 1e-6);
    EXPECT_NEAR(media.fileSeconds, 3.0, 0.03);
    EXPECT_EQ(media.sampleRate, 44100);
    EXPECT_EQ(media.channels, 2);

    // The soundtrack is the song's first three seconds, from its first sample.
    DecodedSong song;
    ASSERT_TRUE(DecodeOggFile((std::string(TESSEL_SHOW_DIR) + "/Audio/Song_094_Final.ogg").c_str(), &song));
    const auto* in = reinterpret_cast<const int16_t*>(song.samples.data());
    const size_t count = 3 * 44100 * 2;
    ASSERT_GE(media.sound.size(), count);
    double signal = 0, noise = 0;
    for (size_t i = 0; i < count; ++i) {
        const double expected = in[i] / 32768.0;
        signal += expected * expected;
        noise += (media.sound[i] - expected) * (media.sound[i] - expected);
    }
    ASSERT_GT(signal, 0);
    EXPECT_GT(10 * std::log10(signal / noise), 20.0) << "signal to noise in dB";
}

TEST(CaptureTool, SameCommandTwiceGivesIdenticalFrames) {
    ShowFolder dir(ShowFolder::kBuiltShow);
    const std::vector<std::string> args = {"--from", "80b", "--to", "81b", "--fps", "30", "--width", "320",
                                           "--height", "180"};
    std::vector<std::string> first = args, second = args;
    first.insert(first.end(), {"--out", "one.mp4"});
    second.insert(second.end(), {"--out", "two.mp4"});
    ASSERT_EQ(Capture(dir, first).exitCode, 0);
    ASSERT_EQ(Capture(dir, second).exitCode, 0);
    const DecodedMedia one = ReadMedia(dir / "one.mp4");
    const DecodedMedia two = ReadMedia(dir / "two.mp4");
    ASSERT_EQ(one.luma.size(), 13u);  // one beat at 30 fps: 12.86 frames, rounded
    EXPECT_TRUE(one.luma == two.luma);
    EXPECT_TRUE(one.videoPacketBytes == two.videoPacketBytes);
}

TEST(CaptureTool, BadOptionsOutputsAndFoldersFailClearly) {
    ShowFolder dir(ShowFolder::kBuiltShow);
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--fps", "0"}, "--fps"},
        {{"--width", "-5"}, "--width"},
        {{"--from", "10", "--to", "5"}, "--from"},
        {{"--colour", "red"}, "--colour"},
        {{"--out", "/nonexistent-folder/clip.mp4", "--to", "0.1", "--width", "64", "--height", "36"},
         "/nonexistent-folder"},
    };
    for (const auto& badCase : cases) {
        const ProgramResult run = Capture(dir, badCase.args);
        EXPECT_NE(run.exitCode, 0) << badCase.message;
        EXPECT_NE(run.err.find(badCase.message), std::string::npos) << run.err;
    }
    ScratchDir empty;
    const ProgramResult noShow = Capture(empty, {"--to", "1"});
    EXPECT_NE(noShow.exitCode, 0);
    EXPECT_NE(noShow.err.find("no show folder"), std::string::npos) << noShow.err;

    ScratchDir noSong;
    LinkBuiltShow(noSong, {"Shaders", "Textures", "sync"});
    noSong.Write("Audio/readme.txt", "no song here");
    const ProgramResult songless = Capture(noSong, {"--to", "1"});
    EXPECT_NE(songless.exitCode, 0);
    EXPECT_NE(songless.err.find("Song_094_Final.ogg is missing"), std::string::npos) << songless.err;

    const ProgramResult help = Capture(dir, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--frames"), std::string::npos);
}

TEST(CaptureTool, AnInterruptedCaptureLeavesNoFileThatLooksFinished) {
    ShowFolder dir(ShowFolder::kBuiltShow);
    const ProgramResult run = Capture(
        dir, {"--width", "320", "--height", "180", "--fps", "30", "--out", "show.mp4"},
        [](pid_t capture, const std::string& errPath) {
            // Interrupted once the first frames are done.
            EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(errPath).find("frame ") != std::string::npos; }, 120))
                << "no frame was reported before the interrupt";
            kill(capture, SIGINT);
        });
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
    for (const auto& name : FileNamesIn(dir.path()))
        EXPECT_TRUE(name != "show.mp4" && name.find(".partial") == std::string::npos) << name;
}

}  // namespace
