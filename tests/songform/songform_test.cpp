// The song form parser: what it accepts, beats and rows, and the exact
// message for every kind of broken line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tools/songform/SongForm.h"
#include "tools/songform/TextLines.h"

namespace {

using Errors = std::vector<std::string>;

Errors ErrorsOf(const std::string& text) {
    SongForm form;
    Errors errors;
    const bool ok = ParseSongForm(text, "s.txt", form, errors);
    EXPECT_EQ(ok, errors.empty()) << text;
    return errors;
}

}  // namespace

TEST(BeatTime, RowsFromBeatsAndSixteenths) {
    int64_t row = 0;
    struct Case {
        const char* text;
        int64_t row;
    };
    for (Case c : {Case{"0", 0}, Case{"4:8", 72}, Case{"1:15", 31}, Case{"-1:8", -24}, Case{"+2", 32},
                   Case{"272", 4352}}) {
        ASSERT_TRUE(ParseBeatTime(c.text, &row)) << c.text;
        EXPECT_EQ(row, c.row) << c.text;
        EXPECT_EQ(FormatBeatTime(c.row), std::string(c.text[0] == '+' ? c.text + 1 : c.text));
    }
    for (const char* bad : {"", "-", "4:", ":4", "4:16", "4.5", "a", "4:8:1", "1 2", "99999999999"})
        EXPECT_FALSE(ParseBeatTime(bad, &row)) << bad;
}

TEST(SongForm, SectionsAndCuesAsBeatsAndRows) {
    SongForm form;
    Errors errors;
    ASSERT_TRUE(ParseSongForm("# test song\n"
                              "\n"
                              "section 0 16 intro\r\n"
                              "section 16 48 verse   # comment after a line\n"
                              "section 48 80 drop\n"
                              "cue 32 bass_in\n"
                              "  cue 48 drop   \n"  // the same beat as the section
                              "cue 78.5 riser\n"
                              "cue 4:8 sixteenths\n"
                              "\tcue 78.53 off_grid\n",
                              "song.txt", form, errors))
        << ::testing::PrintToString(errors);
    ASSERT_EQ(form.sections.size(), 3u);
    EXPECT_EQ(form.sections[1].name, "verse");
    EXPECT_EQ(form.sections[1].start, 16.0);
    EXPECT_EQ(form.sections[1].end, 48.0);
    EXPECT_EQ(form.sections[1].StartRow(), 256);
    EXPECT_EQ(form.sections[1].EndRow(), 768);
    EXPECT_EQ(form.EndBeat(), 80.0);
    EXPECT_EQ(form.SectionAt(16.0)->name, "verse");
    EXPECT_EQ(form.SectionAt(15.99)->name, "intro");
    EXPECT_EQ(form.SectionAt(80.0), nullptr);
    EXPECT_EQ(form.SectionAt(-1.0), nullptr);
    EXPECT_EQ(form.FindSection("drop")->start, 48.0);
    EXPECT_EQ(form.FindSection("riser"), nullptr);

    ASSERT_EQ(form.cues.size(), 5u);
    EXPECT_EQ(form.CueBeat("riser", -1), 78.5);
    EXPECT_EQ(form.CueBeat("sixteenths", -1), 4.5);
    EXPECT_EQ(form.CueBeat("off_grid", -1), 78.53);  // the songmaker gets the beat as written
    EXPECT_EQ(form.CueBeat("intro", -1), -1.0);
    int32_t row = 0;
    for (auto [name, expected] : {std::pair<const char*, int32_t>{"bass_in", 512}, {"drop", 768}, {"riser", 1256},
                                  {"intro", 0}, {"sixteenths", 72}, {"off_grid", 1256}}) {
        ASSERT_TRUE(form.FindRow(name, &row)) << name;
        EXPECT_EQ(row, expected) << name;
    }
    EXPECT_FALSE(form.FindRow("outro", &row));

    // A second parse starts from nothing.
    ASSERT_TRUE(ParseSongForm("section 0 4 only\n", "song.txt", form, errors));
    EXPECT_EQ(form.sections.size(), 1u);
    EXPECT_TRUE(form.cues.empty());
}

TEST(SongForm, BrokenLinesAreNamedWithLineAndColumn) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"part 0 16 intro\nsection 0 16 a\n", "s.txt:1:1: expected 'section' or 'cue', found 'part'"},
        {"section 0 16 a\nbeat 3 x\n", "s.txt:2:1: expected 'section' or 'cue', found 'beat'"},
        {"section 0 16\n", "s.txt:1:13: expected: section START_BEAT END_BEAT NAME"},
        {"section 0 16 a b\n", "s.txt:1:16: expected: section START_BEAT END_BEAT NAME"},
        {"section 0 16 a\ncue 4\n", "s.txt:2:6: expected: cue BEAT NAME"},
        {"section 0 16 a\n  cue x beat\n", "s.txt:2:7: 'x' is not a beat"},
        {"section 0 1x6 a\n", "s.txt:1:11: '1x6' is not a beat"},
        {"section 0 inf a\n", "s.txt:1:11: 'inf' is not a beat"},
        {"section 0 134217728 a\n", "s.txt:1:11: '134217728' is not a beat"},  // its row needs 33 bits
        {"section 16 8 back\n", "s.txt:1:12: section ends before it starts"},
        {"section 0 0 a\n", "s.txt:1:11: section ends before it starts"},
        {"section 4 16 a\n", "s.txt:1:9: section starts at 4, expected 0"},
        {"section 0 16 a\nsection 20 32 b\n", "s.txt:2:9: section starts at 20, expected 16"},
        {"section 0 16 a\nsection 8 32 b\n", "s.txt:2:9: section starts at 8, expected 16"},
        {"section 0 16 s\ncue 4 9lives\n", "s.txt:2:7: '9lives' is not a name (letters, digits, '_' and '.')"},
        {"section 0 16 s\ncue 4 a-b\n", "s.txt:2:7: 'a-b' is not a name (letters, digits, '_' and '.')"},
        {"section 0 16 s\ncue 4 a\ncue 8 a\n", "s.txt:3:7: 'a' already names beat 4 (line 2)"},
        {"section 0 16 s\ncue 4.01 a\ncue 4 a\n", "s.txt:3:7: 'a' already names beat 4.01 (line 2)"},
        {"section 0 16 a\nsection 16 32 a\n", "s.txt:2:15: 'a' already names beat 0 (line 1)"},
        {"section 0 16 drop\ncue 8 drop\n", "s.txt:2:7: 'drop' already names beat 0 (line 1)"},
        {"section 0 16 a\ncue -1 early\n", "s.txt:2:5: cue before beat 0"},
        {"section 0 16 a\ncue 17 late\n", "s.txt:2:5: cue 'late' lies after the end of the song"},
        {"# only a comment\n", "s.txt: no sections"},
        {"", "s.txt: no sections"},
        {"cue 0 start\n", "s.txt: no sections"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorsOf(c.text), Errors{c.error}) << c.text;

    // Names shared at one beat, however it is written, and a cue at the very end are fine.
    EXPECT_EQ(ErrorsOf("section 0 16 a\nsection 16 4:8:0 b\n"), Errors{"s.txt:2:12: '4:8:0' is not a beat"});
    EXPECT_EQ(ErrorsOf("section 0 4:8 a\nsection 4.5 16 b\ncue 4.5 b\ncue 4:8 b\ncue 16 end\n"), Errors{});
}

// Every broken line is reported, in line order, without follow-on errors from
// a section line that did not parse or a misplaced one.
TEST(SongForm, EveryBrokenLineOnceAndInOrder) {
    EXPECT_EQ(ErrorsOf("section 0 16 intro\n"
                       "section 16 x groove\n"
                       "section 32 48 drop\n"
                       "cue 70 late\n"
                       "wobble\n"
                       "section 48 64 outro\n"),
              (Errors{"s.txt:2:12: 'x' is not a beat", "s.txt:4:5: cue 'late' lies after the end of the song",
                      "s.txt:5:1: expected 'section' or 'cue', found 'wobble'"}));
    EXPECT_EQ(ErrorsOf("section 0 16 a\nsection 20 32 b\nsection 32 48 c\ncue 48 end\n"),
              Errors{"s.txt:2:9: section starts at 20, expected 16"});
    // The last section did not parse: the song's end is unknown, so cues are not measured against it.
    EXPECT_EQ(ErrorsOf("section 0 16 a\ncue 40 late\nsection 16 ? b\n"), Errors{"s.txt:3:12: '?' is not a beat"});
}

TEST(SongForm, LoadsAFileAndNamesOneItCannotRead) {
    ScratchDir dir;
    dir.Write("song.txt", "section 0 16 a\r\ncue 16 end\r\n");
    SongForm form;
    Errors errors;
    ASSERT_TRUE(LoadSongForm(dir / "song.txt", form, errors)) << ::testing::PrintToString(errors);
    EXPECT_EQ(form.CueBeat("end", -1), 16.0);

    dir.Write("bad.txt", "section 0 16 a\nsection 0 16 b\n");
    EXPECT_FALSE(LoadSongForm(dir / "bad.txt", form, errors));
    EXPECT_EQ(errors, Errors{dir / "bad.txt" + ":2:9: section starts at 0, expected 16"});

    errors.clear();
    EXPECT_FALSE(LoadSongForm(dir / "missing.txt", form, errors));
    EXPECT_EQ(errors, Errors{dir / "missing.txt" + ": cannot read the sections file"});
    EXPECT_TRUE(form.sections.empty());
}

// A folder, a FIFO with no writer and a file over the limit are each named,
// never read, waited for or thrown over.
TEST(SongForm, NamesWhatIsNoSectionsFile) {
    ScratchDir dir;
    dir.Write("folder/inside", "x");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    dir.Write("huge.txt", "section 0 16 a\n");
    ASSERT_EQ(truncate((dir / "huge.txt").c_str(), off_t(kMaxSongFormBytes) + 1), 0);
    SongForm form;
    Errors errors;
    EXPECT_FALSE(LoadSongForm(dir / "folder", form, errors));
    EXPECT_FALSE(LoadSongForm(dir / "fifo", form, errors));
    EXPECT_FALSE(LoadSongForm(dir / "huge.txt", form, errors));
    EXPECT_EQ(errors, (Errors{dir / "folder" + ": the sections file is not a regular file",
                              dir / "fifo" + ": the sections file is not a regular file",
                              dir / "huge.txt" + ": the sections file is larger than 1 MiB"}));
}

// The production form as both tools see it.
TEST(SongForm, ProductionFormInBeatsAndRows) {
    SongForm form;
    Errors errors;
    ASSERT_TRUE(LoadSongForm(TESSEL_SOURCE_DIR "/production/song_sections.txt", form, errors))
        << ::testing::PrintToString(errors);
    int32_t row = 0;
    ASSERT_TRUE(form.FindRow("drop", &row));
    EXPECT_EQ(row, int32_t(form.FindSection("drop")->start * 16));
    ASSERT_TRUE(form.FindRow("end", &row));
    EXPECT_EQ(row, BeatToRow(form.EndBeat()));
}

// The songmaker stops at a broken form and says where, one line per fault.
TEST(SongForm, SongmakerNamesEveryBrokenLine) {
    ScratchDir dir;
    dir.Write("bad.txt", "section 0 16 a\nsection 20 32 b\ncue 4 a-b\n");
    const std::string command = std::string("cd '") + dir.path() + "' && '" + SONGMAKER_PATH +
                                "' --form bad.txt --out x.ogg 2> err.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(dir.Read("err.txt"),
              "songmaker: bad.txt:2:9: section starts at 20, expected 16\n"
              "songmaker: bad.txt:3:7: 'a-b' is not a name (letters, digits, '_' and '.')\n");
    EXPECT_EQ(ReadFileBytes(dir / "x.ogg"), "");
}
