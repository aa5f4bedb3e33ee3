// The synctool command end to end: compile, dump, check, inspect and plot on
// real files in a scratch folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "sync/TrackFile.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/track_files.h"
#include "tools/synctool/TrackPlot.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun Synctool(const ScratchDir& dir, const std::string& arguments) {
    std::string command = "cd " + Quote(dir.path()) + " && " + Quote(SYNCTOOL_PATH) + " " + arguments +
                          " > " + Quote(dir / ".stdout") + " 2> " + Quote(dir / ".stderr");
    int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = dir.Read(".stdout");
    run.err = dir.Read(".stderr");
    return run;
}

using trackbytes::I32;
using trackbytes::Key;

const char* kSections =
    "# song form\n"
    "section 0 16 intro\n"
    "section 16 48 groove\n"
    "section 48 80 drop\n"
    "cue 32 bass_in\n"
    "cue 80 end\n";

const char* kShow =
    "# the show\n"
    "track Camera X Offset          # spaces in the name\n"
    "  0        0.0     smooth\n"
    "  4:8      2.5     linear      # beat 4 plus 8 sixteenths = row 72\n"
    "  drop     10\n"
    "  drop+2:4 -3.5    ramp\n"
    "  end-1    0.1\n"
    "track Effect Index\n"
    "  0        0\n"
    "  bass_in  1\n"
    "  -0:1     0       # before the previous key\n";

}  // namespace

TEST(Synctool, CompileWritesExactBytesAndDumpRoundTrips) {
    ScratchDir dir;
    dir.Write("song.txt", kSections);
    dir.Write("show.txt",
              "track Camera X Offset\n"
              "  0        0.0     smooth\n"
              "  4:8      2.5     linear\n"
              "  drop     10\n"
              "  drop+2:4 -3.5    ramp\n"
              "  end-1    0.1\n"
              "track Effect Index\n"
              "  -0:1     -0\n"
              "  bass_in  1.5   9\n"
              "track Nothing\n");
    ToolRun compile = Synctool(dir, "compile --sections song.txt -o out show.txt");
    ASSERT_EQ(compile.status, 0) << compile.err;

    EXPECT_EQ(dir.Read("out/_Camera X Offset.track"),
              I32(5) + Key(0, 0.0f, 2) + Key(72, 2.5f, 1) + Key(768, 10.0f, 0) + Key(804, -3.5f, 3) +
                  Key(1264, 0.1f, 0));
    EXPECT_EQ(dir.Read("out/_Effect Index.track"), I32(2) + Key(-1, -0.0f, 0) + Key(512, 1.5f, 9));
    EXPECT_EQ(dir.Read("out/_Nothing.track"), I32(0));

    ToolRun dump = Synctool(dir, "dump out");
    ASSERT_EQ(dump.status, 0) << dump.err;
    dir.Write("dumped.txt", dump.out);
    ASSERT_EQ(Synctool(dir, "compile -o again dumped.txt").status, 0);
    for (const char* name : {"_Camera X Offset.track", "_Effect Index.track", "_Nothing.track"})
        EXPECT_EQ(dir.Read(std::string("again/") + name), dir.Read(std::string("out/") + name)) << name;
    // Dumping again gives the same text (apart from the file paths in comments).
    auto withoutComments = [](const std::string& text) {
        std::string out;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            std::string line = text.substr(start, end - start);
            if (line.empty() || line[0] != '#') out += line + "\n";
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return out;
    };
    EXPECT_EQ(withoutComments(Synctool(dir, "dump again").out), withoutComments(dump.out));
}

TEST(Synctool, BrokenSourceWritesNothingAndNamesLineAndColumn) {
    ScratchDir dir;
    dir.Write("song.txt", kSections);
    dir.Write("show.txt", kShow);
    ToolRun run = Synctool(dir, "compile --sections song.txt -o out show.txt");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "show.txt:11:3: time -0:1 (row -1) is not after the key on line 10 (row 512)\n");
    EXPECT_FALSE(fs::exists(dir / "out/_Camera X Offset.track"));

    // Every error is reported, not only the first.
    dir.Write("two.txt", "track A\n  0 x\n  1 1 zigzag\n");
    run = Synctool(dir, "compile -o out two.txt");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err,
              "two.txt:2:5: 'x' is not a number\n"
              "two.txt:3:7: unknown interpolation 'zigzag' (step, linear, smooth or ramp)\n");

    dir.Write("badsong.txt", "section 0 x intro\n");
    run = Synctool(dir, "compile --sections badsong.txt -o out two.txt");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "badsong.txt:1:11: 'x' is not a beat\n");
    // The form is held to the songmaker's rules too: sections back to back from beat 0.
    dir.Write("gapsong.txt", "section 0 16 intro\nsection 20 32 drop\ncue 40 late\n");
    run = Synctool(dir, "compile --sections gapsong.txt -o out two.txt");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err,
              "gapsong.txt:2:9: section starts at 20, expected 16\n"
              "gapsong.txt:3:5: cue 'late' lies after the end of the song\n");

    EXPECT_EQ(Synctool(dir, "compile -o out missing.txt").status, 2) << "the parser checks the source exists";
    EXPECT_EQ(Synctool(dir, "compile show.txt").status, 2);
    EXPECT_EQ(Synctool(dir, "frobnicate").status, 2);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(Synctool, CheckReportsEveryKindOfDamage) {
    ScratchDir dir;
    dir.Write("good/_Fine.track", I32(2) + Key(0, 1, 1) + Key(16, 2, 0));
    dir.Write("bad/_Size.track", I32(1) + Key(0, 1, 1) + "xy");
    dir.Write("bad/_Count.track", I32(3) + Key(0, 1, 1));
    dir.Write("bad/_Negative.track", I32(-2) + Key(0, 1, 1));
    dir.Write("bad/_Order.track", I32(3) + Key(16, 1, 1) + Key(8, 2, 1) + Key(8, 3, 1));
    dir.Write("bad/_Type.track", I32(2) + Key(0, 1, 4) + Key(16, 2, int8_t(0xFF)));
    dir.Write("bad/_Short.track", "\x01");

    ToolRun good = Synctool(dir, "check good");
    EXPECT_EQ(good.status, 0) << good.out;
    EXPECT_EQ(good.out, "good/_Fine.track: ok, 2 keys\n");

    ToolRun bad = Synctool(dir, "check bad");
    EXPECT_EQ(bad.status, 1);
    const char* expected[] = {
        "bad/_Count.track: key count says 3 but the file holds 1 whole keys; the player keeps those",
        "bad/_Negative.track: key count is negative (-2); the player reads no keys",
        "bad/_Order.track: rows not increasing: key 1 at row 8 follows key 0 at row 16",
        "bad/_Order.track: rows not increasing: key 2 at row 8 follows key 1 at row 8",
        "bad/_Short.track: file is 1 bytes, too short to hold the key count (4 bytes)",
        "bad/_Size.track: size 15 is not 4 + 9n: 2 bytes after the last whole key",
        "bad/_Type.track: unknown interpolation type 4 at key 0 (row 0); it reads 0 until the next key",
        "bad/_Type.track: unknown interpolation type -1 at key 1 (row 16)",
    };
    for (const char* line : expected) EXPECT_NE(bad.out.find(std::string(line) + "\n"), std::string::npos) << line;

    EXPECT_EQ(Synctool(dir, "check good/_Fine.track bad/_Type.track").status, 1);
    EXPECT_EQ(Synctool(dir, "check nowhere").status, 1);
}

TEST(Synctool, InspectShowsRowsInBeatsAndProblems) {
    ScratchDir dir;
    dir.Write("_Fade.track", I32(3) + Key(0, 0, 1) + Key(72, 2.5f, 2) + Key(40, 1, 5));
    ToolRun run = Synctool(dir, "inspect _Fade.track");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("track \"Fade\": 31 bytes, key count 3, 3 keys read"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("      1          72        4:8             2.5  smooth\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("      2          40        2:8               1  unknown (5)\n"), std::string::npos);
    EXPECT_NE(run.out.find("problem: rows not increasing: key 2 at row 40 follows key 1 at row 72"),
              std::string::npos);
}

TEST(Synctool, DumpOfADamagedFileShowsWhatThePlayerPlays) {
    ScratchDir dir;
    dir.Write("_Jumbled.track", I32(4) + Key(16, 1, 1) + Key(0, 2, 0) + Key(16, 3, 0) + Key(8, 4, 1) + "z");
    ToolRun run = Synctool(dir, "dump _Jumbled.track");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("# _Jumbled.track: rows not increasing"), std::string::npos);
    EXPECT_NE(run.out.find("track Jumbled\n"
                           "  0          2              step\n"
                           "  0:8        4              linear\n"
                           "  1          3              step\n"),
              std::string::npos)
        << run.out;
}

TEST(Synctool, PlotWritesOnePngWithAStripPerTrack) {
    ScratchDir dir;
    dir.Write("song.txt", kSections);
    dir.Write("sync/_A.track", I32(2) + Key(0, 0, 2) + Key(512, 1, 0));
    dir.Write("sync/_B.track", I32(3) + Key(-16, 5, 1) + Key(256, -5, 3) + Key(1280, 0, 0));
    dir.Write("sync/_Empty.track", I32(0));
    ToolRun run = Synctool(dir, "plot --sections song.txt -o plot.png sync");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string png = dir.Read("plot.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    auto be32 = [&](size_t p) {
        return uint32_t(uint8_t(png[p])) << 24 | uint32_t(uint8_t(png[p + 1])) << 16 |
               uint32_t(uint8_t(png[p + 2])) << 8 | uint32_t(uint8_t(png[p + 3]));
    };
    EXPECT_EQ(be32(16), uint32_t(kPlotWidth));
    EXPECT_EQ(be32(20), uint32_t(PlotHeight(3)));

    EXPECT_EQ(Synctool(dir, "plot -o x.png").status, 2);
    EXPECT_EQ(Synctool(dir, "plot -o x.png nowhere").status, 1);
}

// An empty folder is an error for every command that reads track files.
TEST(Synctool, AFolderWithoutTrackFilesIsAnErrorForEveryCommand) {
    ScratchDir dir;
    dir.Write("empty/notes.txt", "no tracks here");
    for (const char* command : {"check empty", "dump empty", "inspect empty", "plot -o plot.png empty"}) {
        ToolRun run = Synctool(dir, command);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("empty: no .track files in this folder"), std::string::npos) << command << run.err;
    }
    EXPECT_FALSE(fs::exists(dir / "plot.png"));
}

// A folder entry whose status cannot be had (a symbolic link to itself) is
// reported as unreadable, not an abort from the folder scan.
TEST(Synctool, FolderScanSurvivesEntriesItCannotExamine) {
    ScratchDir dir;
    dir.Write("sync/_Fine.track", I32(1) + Key(0, 1, 0));
    dir.Link("sync/_Loop.track", "_Loop.track");
    for (const char* command : {"check sync", "dump sync", "inspect sync"}) {
        ToolRun run = Synctool(dir, command);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("sync/_Loop.track: cannot read"), std::string::npos) << command << run.err;
    }
    EXPECT_NE(Synctool(dir, "check sync").out.find("sync/_Fine.track: ok, 1 keys"), std::string::npos);
}

// Names with control and non-ASCII bytes draw as '?', like any byte the
// font has no glyph for.
TEST(Synctool, PlotDrawsBytesWithoutAGlyphAsQuestionMarks) {
    ScratchDir dir;
    const std::vector<TrackKey> keys = {{0, 0.0f, Linear}, {64, 1.0f, Step}};
    std::string error;
    ASSERT_TRUE(PlotTracks({{"A\x01\x1f\x7f\x80\xff\xc3\xa9", keys}}, nullptr, dir / "odd.png", &error)) << error;
    ASSERT_TRUE(PlotTracks({{"A???????", keys}}, nullptr, dir / "plain.png", &error)) << error;
    EXPECT_EQ(dir.Read("odd.png"), dir.Read("plain.png"));
}
