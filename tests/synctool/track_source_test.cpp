// The text form of tracks: times, values, interpolations, names from the song
// form, and the messages for broken sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/songform/SongForm.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/TrackSource.h"

namespace {

const char* kSong =
    "# test song\n"
    "section 0 16 intro\n"
    "section 16 48 verse   # comment after a line\n"
    "section 48 80 drop\n"
    "cue 32 bass_in\n"
    "cue 48 drop\n"  // the same beat as the section: allowed
    "cue 78.5 riser\n";

SongForm Song() {
    SongForm song;
    std::vector<std::string> errors;
    EXPECT_TRUE(ParseSongForm(kSong, "song.txt", song, errors)) << ::testing::PrintToString(errors);
    return song;
}

// The one error a source gives, or "" when it parsed.
std::string ErrorOf(const std::string& source, bool withSong = true) {
    SongForm song = Song();
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    ParseTrackSource(source, "show.txt", withSong ? &song : nullptr, &tracks, &errors);
    if (errors.empty()) return "";
    EXPECT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
    return errors[0];
}

}  // namespace

TEST(TrackSource, AllTimeFormsValuesAndInterpolations) {
    const std::string source =
        "# a show\n"
        "track Camera X Offset          # the rest of the line is the name\n"
        "  0        0.0     smooth\n"
        "  4:8      2.5     linear      # row 72\n"
        "  drop     10\n"
        "\tdrop+2:4 -3.5    RAMP\n"
        "  riser+1  1e-3    7\n"
        "track   Fade  \n"
        "  -1:8 0x1p-2 step\n"
        "  bass_in-1 bits:7fc00001 -1\n"
        "track Empty\n";
    SongForm song = Song();
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseTrackSource(source, "show.txt", &song, &tracks, &errors)) << ::testing::PrintToString(errors);
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_EQ(tracks[0].name, "Camera X Offset");
    EXPECT_EQ(tracks[1].name, "Fade");
    EXPECT_EQ(tracks[2].name, "Empty");
    EXPECT_TRUE(tracks[2].keys.empty());

    const auto& k = tracks[0].keys;
    ASSERT_EQ(k.size(), 5u);
    EXPECT_EQ(k[0].row, 0);
    EXPECT_EQ(k[0].type, Smooth);
    EXPECT_EQ(k[1].row, 72);
    EXPECT_EQ(k[1].value, 2.5f);
    EXPECT_EQ(k[1].type, Linear);
    EXPECT_EQ(k[2].row, 768);
    EXPECT_EQ(k[2].type, Step);
    EXPECT_EQ(k[3].row, 768 + 36);
    EXPECT_EQ(k[3].value, -3.5f);
    EXPECT_EQ(k[3].type, Ramp);
    EXPECT_EQ(k[4].row, 1256 + 16);
    EXPECT_EQ(k[4].value, 1e-3f);
    EXPECT_EQ(k[4].type, 7);

    const auto& f = tracks[1].keys;
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].row, -24);
    EXPECT_EQ(f[0].value, 0.25f);
    EXPECT_EQ(f[1].row, 512 - 16);
    uint32_t bits;
    std::memcpy(&bits, &f[1].value, 4);
    EXPECT_EQ(bits, 0x7FC00001u);
    EXPECT_EQ(f[1].type, -1);
}

TEST(TrackSource, BrokenSourcesAreNamedWithLineAndColumn) {
    struct Case {
        const char* source;
        const char* error;
    };
    const Case cases[] = {
        {"  0 1\n", "show.txt:1:3: a key before the first 'track' line"},
        {"track A\n  0 1\n  4 2\n  4 3\n",
         "show.txt:4:3: time 4 (row 64) is not after the key on line 3 (row 64)"},
        {"track A\n  4:8 1\n  4:7 2\n", "show.txt:3:3: time 4:7 (row 71) is not after the key on line 2 (row 72)"},
        {"track A\n  0 1 wobble\n", "show.txt:2:7: unknown interpolation 'wobble' (step, linear, smooth or ramp)"},
        {"track A\n  0 1 128\n", "show.txt:2:7: unknown interpolation '128' (step, linear, smooth or ramp)"},
        {"track A\n  0 one\n", "show.txt:2:5: 'one' is not a number"},
        {"track A\n  0 1e39\n", "show.txt:2:5: '1e39' is too large for a 32-bit float"},
        {"track A\n  0\n", "show.txt:2:4: expected a value after the time"},
        {"track A\n  0 1 step extra\n", "show.txt:2:12: unexpected 'extra' after the interpolation"},
        {"track A\n  4:16 1\n", "show.txt:2:3: '4:16' is not a time (BEAT, BEAT:SIXTEENTH, or a section or cue name)"},
        {"track A\n  chorus 1\n", "show.txt:2:3: unknown section or cue 'chorus'"},
        {"track A\n  drop+x 1\n", "show.txt:2:3: '+x' is not an offset (+BEAT or +BEAT:SIXTEENTH)"},
        {"track A\n  134217728 1\n", "show.txt:2:3: time is outside the rows a track file can hold"},
        {"track\n", "show.txt:1:1: a track needs a name"},
        {"track a/b\n  0 1\n", "show.txt:1:7: a track name cannot contain '/'"},
        {"track A\ntrack A\n", "show.txt:2:7: track 'A' is already defined on line 1"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.source), c.error) << c.source;
    EXPECT_EQ(ErrorOf("track A\n  drop 1\n", false),
              "show.txt:2:3: 'drop' is a name, but no sections file was given (--sections)");
    EXPECT_EQ(ErrorOf("track " + std::string(246, 'n') + "\n"),
              "show.txt:1:7: track name too long: the player's path ./sync/_NAME.track must fit 259 characters");
}

TEST(TrackSource, ValuesAreWrittenToReadBackExactly) {
    const float values[] = {0.0f, -0.0f, 0.1f, 1.0f / 3.0f, -2.5e-38f, 1e-45f, 3.4028235e38f, 16777217.0f,
                            INFINITY, -INFINITY, NAN};
    for (float v : values) {
        std::string text = FormatValue(v);
        float back = 0;
        SongForm none;
        std::vector<SourceTrack> tracks;
        std::vector<std::string> errors;
        ASSERT_TRUE(ParseTrackSource("track A\n 0 " + text + "\n", "x", nullptr, &tracks, &errors)) << text;
        back = tracks[0].keys[0].value;
        EXPECT_EQ(std::memcmp(&back, &v, 4), 0) << text;
    }
    EXPECT_EQ(FormatValue(0.1f), "0.1");
    EXPECT_EQ(FormatValue(2.5f), "2.5");
}
