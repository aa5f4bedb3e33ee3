// The real player on the real show (the built shaders, textures, compiled
// choreography and Config.txt) under a private X server with OpenAL's silent
// device, playing a shortened song made by the songmaker: it must start,
// play, end by itself when the song ends, and log the whole start-up and
// shutdown sequence without an error line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/player_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/xvfb_server.h"

namespace {

// One expected log line: the whole line, or only its start when the rest
// depends on the machine (driver names, versions).
struct Expected {
    std::string text;
    bool prefix = false;
};

bool Matches(const std::string& line, const Expected& expected) {
    return expected.prefix ? line.rfind(expected.text, 0) == 0 : line == expected.text;
}

// The position after which each expected line was found in order, or the
// first expected line that is missing.
std::string FirstMissing(const std::vector<std::string>& lines, const std::vector<Expected>& expected) {
    size_t at = 0;
    for (const Expected& e : expected) {
        while (at < lines.size() && !Matches(lines[at], e)) ++at;
        if (at == lines.size()) return e.text;
        ++at;
    }
    return "";
}

bool LooksLikeTimestamp(const std::string& line) {
    // "Mon Dec 07 21:24:25 2026": weekday, month, day, time, year.
    return line.size() >= 24 && line[3] == ' ' && line[7] == ' ' && line[13] == ':' && line[16] == ':';
}

TEST(ShowRun, PlaysTheWholeShortenedShowAndShutsDownCleanly) {
    XvfbServer x(1920, 1080);
    ASSERT_TRUE(x.ok());
    ScratchDir dir;

    // Eight beats of the real song, about 3.4 seconds.
    const std::string song = dir / "Audio/Song_094_Final.ogg";
    dir.Write("Audio/.keep", "");
    const std::string make = std::string("\"") + TESSEL_SONGMAKER + "\" --form \"" + TESSEL_SOURCE_DIR +
                             "/production/song_sections.txt\" --beats 8 --out \"" + song + "\" > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    ASSERT_FALSE(ReadFileBytes(song).empty());

    PlayerOptions options;
    options.config = ReadFileBytes(std::string(TESSEL_SHOW_DIR) + "/Config.txt");
    ASSERT_FALSE(options.config.empty()) << "the show's Config.txt is not built";
    options.showFolders = {"Shaders", "Textures", "sync"};
    options.timeoutSeconds = 180;
    const PlayerResult run = RunPlayer(x.name(), dir, options);

    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << "the player did not end with the song";
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_TRUE(ErrorLines(run.lines).empty()) << ErrorLines(run.lines).front();

    const std::vector<Expected> sequence = {
        {"Logger Initialized."},
        {"Screen Width: 1280"},
        {"Screen Height: 720"},
        {"Full Screen: 0"},
        {"Full Scene Anti Aliasing: 4"},
        {"Max OpenGL Version: ", true},
        {"Hardware Vendor: ", true},
        {"Hardware Renderer: ", true},
        {"OpenGL Context Version: ", true},
        {"Renderer Initialized."},
        {"Engine Initialized."},
        {"OpenAL Device Specifier: ", true},
        {"Sync System Initialized."},
        {"Initializing Demo: Test Demo"},
        {"Initializing Effect: Particle Rain Effect"},
        {"Creating Texture: ./Textures/Floater2.png"},
        {"Initializing Effect: Snake Scene Effect"},
        {"Creating Cube Map Texture: ./Textures/CubeMapTest.jpg"},
        {"Initializing Post Processor: Bloom"},
        {"Engine Shutting Down."},
        {"Shutting Down Demo: Test Demo"},
        {"Shutting Down Effect: Particle Rain Effect"},
        {"Shutting Down Effect: Snake Scene Effect"},
        {"Shutting Down Post Processor: Bloom"},
        {"Renderer Shutting Down."},
        {"Deleting Texture: ./Textures/Floater2.png"},
        {"Deleting Texture: ./Textures/CubeMapTest.jpg"},
        {"Logger Shutting Down."},
    };
    EXPECT_EQ(FirstMissing(run.lines, sequence), "");
    ASSERT_GE(run.lines.size(), 2u);
    EXPECT_TRUE(LooksLikeTimestamp(run.lines.front())) << run.lines.front();
    EXPECT_TRUE(LooksLikeTimestamp(run.lines.back())) << run.lines.back();
    EXPECT_EQ(run.lines[run.lines.size() - 2], "Logger Shutting Down.");
}

}  // namespace
