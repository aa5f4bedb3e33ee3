// tessel-author's command line and the overlay's lines.
#include <gtest/gtest.h>

#include "author/AuthorOptions.h"
#include "author/OverlayText.h"

namespace {

bool Parse(std::vector<const char*> args, AuthorOptions* options, std::string* error) {
    args.insert(args.begin(), "tessel-author");
    return ParseAuthorOptions(static_cast<int>(args.size()), args.data(), options, error);
}

}  // namespace

TEST(AuthorOptions, DefaultsAreTheSourceTreesFilesAndOptionsReplaceThem) {
    AuthorOptions options = DefaultAuthorOptions("/src");
    EXPECT_EQ(options.source, "/src/production/show.sync");
    EXPECT_EQ(options.sections, "/src/production/song_sections.txt");
    EXPECT_EQ(options.shaders, "/src/data/Shaders");
    std::string error;
    ASSERT_TRUE(Parse({"--sync", "a.sync", "--sections=s.txt", "--shaders", "sh"}, &options, &error)) << error;
    EXPECT_EQ(options.source, "a.sync");
    EXPECT_EQ(options.sections, "s.txt");
    EXPECT_EQ(options.shaders, "sh");
    EXPECT_FALSE(options.help);
    ASSERT_TRUE(Parse({"--help"}, &options, &error));
    EXPECT_TRUE(options.help);
}

TEST(AuthorOptions, BadArgumentsAreRefusedWithAMessage) {
    AuthorOptions options;
    std::string error;
    EXPECT_FALSE(Parse({"--loud"}, &options, &error));
    EXPECT_EQ(error, "unknown option --loud");
    EXPECT_FALSE(Parse({"--sync"}, &options, &error));
    EXPECT_EQ(error, "--sync needs a path");
    EXPECT_FALSE(Parse({"--shaders="}, &options, &error));
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
