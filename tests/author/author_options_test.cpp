// tessel-author's command line and the overlay's lines.
#include <gtest/gtest.h>

#include "author/AuthorOptions.h"
#include "author/OverlayText.h"
#include "tests/support/scratch_dir.h"

#include <sstream>

namespace {

// True when the arguments parse; *error holds the message otherwise.
bool Parse(std::vector<const char*> args, AuthorOptions* options, std::string* error) {
    args.insert(args.begin(), "tessel-author");
    cli::CommandLine line("tessel-author");
    AddAuthorOptions(&line, options);
    std::ostringstream out, err;
    const std::optional<int> exit = line.Parse(static_cast<int>(args.size()), args.data(), out, err);
    *error = err.str();
    return !exit.has_value();
}

}  // namespace

TEST(AuthorOptions, DefaultsAreTheSourceTreesFilesAndOptionsReplaceThem) {
    AuthorOptions options = DefaultAuthorOptions("/src");
    EXPECT_EQ(options.source, "/src/production/show.sync");
    EXPECT_EQ(options.sections, "/src/production/song_sections.txt");
    EXPECT_EQ(options.shaders, "/src/data/Shaders");
    ScratchDir dir;
    dir.Write("a.sync", "");
    dir.Write("s.txt", "");
    dir.Write("sh/x.glsl", "");
    const std::string sections = "--sections=" + dir / "s.txt";
    std::string error;
    ASSERT_TRUE(Parse({"--sync", (dir / "a.sync").c_str(), sections.c_str(), "--shaders", (dir / "sh").c_str()},
                      &options, &error))
        << error;
    EXPECT_EQ(options.source, dir / "a.sync");
    EXPECT_EQ(options.sections, dir / "s.txt");
    EXPECT_EQ(options.shaders, dir / "sh");
}

TEST(AuthorOptions, BadArgumentsAreRefusedWithAMessage) {
    AuthorOptions options;
    std::string error;
    EXPECT_FALSE(Parse({"--shaders="}, &options, &error));
    EXPECT_EQ(error, "tessel-author: --shaders: needs a value (see tessel-author --help)\n");
    EXPECT_FALSE(Parse({"--sections", "/no/such/form.txt"}, &options, &error));
    EXPECT_EQ(error, "tessel-author: --sections: '/no/such/form.txt' does not exist (see tessel-author --help)\n");
    EXPECT_FALSE(Parse({"show.sync"}, &options, &error));
}

TEST(OverlayText, FullLinesShowPositionStateResultAndEveryTrackValue) {
    SyncDevice& device = *new SyncDevice;  // freed with its tracks below
    SyncTrack* fade = device.GetTrack("Fade");
    fade->keys = {TrackKey{0, 0, Linear}, TrackKey{32, 1, Step}};
    fade->numKeys = 2;
    OverlayState state;
    state.beat = 1.0;  // row 16: Fade halfway
    state.section = "intro";
    state.framesPerSecond = 59;
    state.paused = true;
    state.looping = true;
    state.reloadResult = "tracks reloaded from show.sync: 1 tracks";
    state.device = &device;
    const std::vector<std::string> lines = OverlayLines(state, true);
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "1:00  row 16  intro");
    EXPECT_EQ(lines[1], "59 fps  paused  looping the section");
    EXPECT_EQ(lines[2], state.reloadResult);
    EXPECT_EQ(lines[4].substr(0, 4), "Fade");
    EXPECT_NE(lines[4].find("0.500"), std::string::npos) << lines[4];
    DestroySyncDevice(&device);
}

TEST(OverlayText, HiddenOverlayStillShowsAFailedReload) {
    OverlayState state;
    state.reloadResult = "show.sync:3:1: unknown name\nshow.sync:4:1: unknown name";
    EXPECT_TRUE(OverlayLines(state, false).empty()) << "a good result is not shown";
    state.reloadOk = false;
    EXPECT_EQ(OverlayLines(state, false),
              (std::vector<std::string>{"show.sync:3:1: unknown name", "show.sync:4:1: unknown name"}));
}
