// Editing a track source in place: each kind of edit changes exactly the
// lines it concerns, in the notation around it, and the text compiles (with
// the real synctool too) to the tracks the document holds; the show's own
// source reads and rewrites byte for byte, and takes thousands of random
// edits; a failing edit changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "sync/TrackFile.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/SourceEdit.h"
#include "tools/synctool/TimeNotation.h"

namespace {

const char* kSong =
    "section 0 16 intro\n"
    "section 16 48 verse\n"
    "section 48 80 drop\n"
    "cue 0 start\n"
    "cue 48 drop\n"
    "cue 56 break\n"
    "cue 64 hit\n";

// Comments everywhere, a blank line, named and plain times, an empty track.
const char* kSource =
    "# the show\n"
    "\n"
    "track Fade\n"
    "  start        1        smooth   # from black\n"
    "  4            0\n"
    "  # a comment between keys\n"
    "  drop+2:4     0.5      linear\n"
    "  hit          1        step     # the hit\n"
    "\n"
    "track Camera Yaw\n"
    "  0   10\n"
    "\n"
    "track Empty\n";

SongForm Song() {
    SongForm song;
    std::vector<std::string> errors;
    EXPECT_TRUE(ParseSongForm(kSong, "song.txt", song, errors));
    return song;
}

SourceDocument Load(const std::string& text) {
    SongForm song = Song();
    SourceDocument document;
    std::vector<std::string> errors;
    EXPECT_TRUE(document.Load(text, "show.sync", &song, &errors)) << ::testing::PrintToString(errors);
    return document;
}

// Loads the production's track source, against its song form, into
// `document`; false with *errors.
bool LoadTheShow(std::string* text, SourceDocument* document, std::vector<std::string>* errors) {
    *text = ReadFileBytes(std::string(TESSEL_SOURCE_DIR) + "/production/show.sync");
    SongForm song;
    return LoadSongForm(std::string(TESSEL_SOURCE_DIR) + "/production/song_sections.txt", song, *errors) &&
           document->Load(*text, "show.sync", &song, errors);
}

KeyEdit Set(const std::string& track, int32_t row, float value, int32_t type = -2) {
    KeyEdit edit;
    edit.track = track;
    edit.row = row;
    edit.value = value;
    edit.keepType = type == -2;
    edit.type = type;
    return edit;
}
KeyEdit Delete(const std::string& track, int32_t row) {
    KeyEdit edit;
    edit.kind = KeyEditKind::Delete;
    edit.track = track;
    edit.row = row;
    return edit;
}
KeyEdit Move(const std::string& track, int32_t from, int32_t to) {
    KeyEdit edit;
    edit.kind = KeyEditKind::Move;
    edit.track = track;
    edit.row = from;
    edit.to = to;
    return edit;
}

// The lines of before that after lacks and the lines after adds, as
// "-line" and "+line" (lines compared by their position in a common-prefix,
// common-suffix split: enough for the few-line changes of one edit).
std::vector<std::string> Diff(const std::string& before, const std::string& after) {
    const std::vector<std::string> a = SplitLines(before), b = SplitLines(after);
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    std::vector<std::string> diff;
    for (size_t i = head; i < a.size() - tail; ++i) diff.push_back("-" + a[i]);
    for (size_t i = head; i < b.size() - tail; ++i) diff.push_back("+" + b[i]);
    return diff;
}

void ExpectCompilesToDocument(const SourceDocument& document) {
    std::vector<SourceTrack> parsed;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseTrackSource(document.Text(), "show.sync", document.Song(), &parsed, &errors))
        << document.Text();
    EXPECT_TRUE(ChangedTrackNames(parsed, document.Tracks()).empty());
}

std::vector<std::string> Lines(std::initializer_list<const char*> lines) { return {lines.begin(), lines.end()}; }

}  // namespace

TEST(SourceEdit, OneKeyChangeIsOneLineWithTheColumnsAndCommentsKept) {
    struct Case {
        const char* what;
        KeyEdit edit;
        std::vector<std::string> diff;
    } cases[] = {
        {"a new value", Set("Fade", 64, 0.25f),
         Lines({"-  4            0", "+  4            0.25"})},
        {"a longer value keeps the comment's column", Set("Fade", 0, -123.5f),
         Lines({"-  start        1        smooth   # from black", "+  start        -123.5   smooth   # from black"})},
        {"a new interpolation", Set("Fade", 1024, 1, Ramp),
         Lines({"-  hit          1        step     # the hit", "+  hit          1        ramp     # the hit"})},
        {"an interpolation where the line had none, in its neighbours' column", Set("Fade", 64, 0, Linear),
         Lines({"-  4            0", "+  4            0        linear"})},
        {"the same value again: nothing", Set("Fade", 0, 1), {}},
        {"a new key between two, aligned like the one before it", Set("Fade", 72, 2),
         Lines({"+  4:8          2"})},
        {"a new key at a cue where the neighbours write names", Set("Fade", 896, 3, Smooth),
         Lines({"+  break        3        smooth"})},
        {"a new first key", Set("Camera Yaw", -8, 1),
         Lines({"+  -0:8 1"})},
        {"a key in a track without keys, as dump writes it", Set("Empty", 16, 1),
         Lines({"+  1          1              step"})},
        {"a deleted key", Delete("Fade", 64), Lines({"-  4            0"})},
        {"a deleted key's comment stays", Delete("Fade", 1024),
         Lines({"-  hit          1        step     # the hit", "+  # the hit"})},
        {"a moved key keeps its name and offset", Move("Fade", 804, 805),
         Lines({"-  drop+2:4     0.5      linear", "+  drop+2:5     0.5      linear"})},
        {"a key moved onto its name", Move("Fade", 804, 768),
         Lines({"-  drop+2:4     0.5      linear", "+  drop         0.5      linear"})},
        {"a plain time stays plain", Move("Fade", 64, 65), Lines({"-  4            0", "+  4:1          0"})},
    };
    for (const Case& c : cases) {
        SourceDocument document = Load(kSource);
        std::string error;
        ASSERT_TRUE(document.Apply({c.edit}, &error)) << c.what << ": " << error;
        EXPECT_EQ(Diff(kSource, document.Text()), c.diff) << c.what << "\n" << document.Text();
        ExpectCompilesToDocument(document);
    }
}

TEST(SourceEdit, AKeyMovedPastOthersTakesItsLineAndCommentAlong) {
    SourceDocument document = Load(kSource);
    std::string error;
    ASSERT_TRUE(document.Apply({Move("Fade", 0, 900)}, &error)) << error;
    EXPECT_EQ(document.Text(),
              "# the show\n"
              "\n"
              "track Fade\n"
              "  4            0\n"
              "  # a comment between keys\n"
              "  drop+2:4     0.5      linear\n"
              "  start+56:4   1        smooth   # from black\n"
              "  hit          1        step     # the hit\n"
              "\n"
              "track Camera Yaw\n"
              "  0   10\n"
              "\n"
              "track Empty\n");
    ASSERT_TRUE(document.Apply({Move("Fade", 900, -16)}, &error)) << error;
    EXPECT_EQ(document.Tracks()[0].keys.front().row, -16);
    EXPECT_NE(document.Text().find("track Fade\n  start-1      1        smooth   # from black\n"), std::string::npos)
        << document.Text();
    ExpectCompilesToDocument(document);
}

TEST(SourceEdit, ANewTrackIsABlockAtTheEndAndLineEndsAreKept) {
    SourceDocument document = Load("track A\r\n  0 1\r\n");
    std::string error;
    ASSERT_TRUE(document.Apply({Set("New Track", 20, 0.5f, Linear), Set("A", 16, 2)}, &error)) << error;
    EXPECT_EQ(document.Text(), "track A\r\n  0 1\r\n  1 2\r\n\r\ntrack New Track\r\n  1:4        0.5            linear\r\n");

    // A file without a last line end keeps lacking one.
    document = Load("track A\n  0 1");
    ASSERT_TRUE(document.Apply({Set("A", 16, 2)}, &error)) << error;
    EXPECT_EQ(document.Text(), "track A\n  0 1\n  1 2");
    ASSERT_TRUE(document.Apply({Move("A", 0, 32)}, &error)) << error;
    EXPECT_EQ(document.Text(), "track A\n  1 2\n  2 1");
}

TEST(SourceEdit, RefusedEditsChangeNothingAndNameTheOp) {
    SourceDocument document = Load(kSource);
    const std::string before = document.Text();
    struct Case {
        std::vector<KeyEdit> edits;
        const char* error;
    } cases[] = {
        {{Set("Fade", 8, 1), Delete("Fade", 8), Delete("Fade", 8)}, "op 2: track 'Fade' has no key at row 8"},
        {{Delete("Nowhere", 0)}, "op 0: track 'Nowhere' has no keys"},
        {{Move("Fade", 64, 768 + 36)}, "op 0: track 'Fade' already has a key at row 804"},
        {{Set("Camera Yaw", 1, 1), Set("a # b", 0, 1)},
         "op 1: a track name written in the source cannot hold '#' or a line break"},
        {{Set(" Lead", 0, 1)}, "op 0: a track name written in the source cannot start or end with a blank"},
        {{Set("a/b", 0, 1)}, "op 0: a track name cannot contain '/'"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(document.Apply(c.edits, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(document.Text(), before);
        ExpectCompilesToDocument(document);
    }
}

TEST(SourceEdit, ATrackStopsGrowingAtTheMostKeysAnEditMayGiveIt) {
    std::string text = "track Full\n";
    for (size_t row = 0; row < kMaxEditedTrackKeys; ++row) text += "  " + FormatBeatTime(int64_t(row)) + " 0\n";
    SourceDocument document = Load(text);
    std::string error;
    EXPECT_FALSE(document.Apply({Set("Full", -1, 1)}, &error));
    EXPECT_EQ(error, "op 0: track 'Full' already holds 65536 keys, the most a track may have");
    EXPECT_TRUE(document.Apply({Set("Full", 0, 1), Move("Full", 0, -1)}, &error)) << "changing keys is still fine";
}

TEST(SourceEdit, TimesAreRewrittenInTheirOwnStyle) {
    const SongForm song = Song();
    EXPECT_EQ(RewriteTime("drop+2:4", 768 + 37, &song), "drop+2:5");
    EXPECT_EQ(RewriteTime("drop+2:15", 768 + 48, &song), "drop+3");
    EXPECT_EQ(RewriteTime("drop", 767, &song), "drop-0:1");
    EXPECT_EQ(RewriteTime("drop-1", 768, &song), "drop");
    EXPECT_EQ(RewriteTime("127:15", 128 * 16, &song), "128");
    EXPECT_EQ(RewriteTime("0", -24, &song), "-1:8");
    EXPECT_EQ(RewriteTime("+4", 65, &song), "4:1");
    EXPECT_EQ(RewriteTime("gone+1", 16, &song), "1") << "a name the form lacks becomes plain";
    EXPECT_EQ(RewriteTime("drop", 16, nullptr), "1");
}

TEST(SourceEdit, TheShowsSourceRoundTripsAndEveryKeyMovesAndComesBackByteForByte) {
    std::string text;
    SourceDocument document;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadTheShow(&text, &document, &errors)) << ::testing::PrintToString(errors);
    EXPECT_EQ(document.Text(), text);
    size_t moved = 0;
    for (const SourceTrack& track : std::vector<SourceTrack>(document.Tracks())) {
        for (const TrackKey& key : track.keys) {
            const SourceTrack* now = document.Find(track.name);
            bool free = true;
            for (const TrackKey& other : now->keys) free = free && other.row != key.row + 1;
            if (!free) continue;
            std::string error;
            ASSERT_TRUE(document.Apply({Move(track.name, key.row, key.row + 1)}, &error)) << error;
            EXPECT_EQ(Diff(text, document.Text()).size(), 2u) << track.name << " row " << key.row;
            ASSERT_TRUE(document.Apply({Move(track.name, key.row + 1, key.row)}, &error)) << error;
            ASSERT_TRUE(document.Text() == text)
                << track.name << " row " << key.row << ": " << ::testing::PrintToString(Diff(text, document.Text()));
            ++moved;
        }
    }
    EXPECT_GT(moved, 200u);
}

TEST(SourceEdit, TheRealSynctoolCompilesTheEditedTextToTheDocumentsTracks) {
    SourceDocument document = Load(kSource);
    std::string error;
    ASSERT_TRUE(document.Apply({Set("Fade", 100, 0.1f, Smooth), Move("Fade", 804, 1100), Delete("Camera Yaw", 0),
                                Set("Brand New", 3, -2.5f, Ramp)},
                               &error))
        << error;
    ScratchDir dir;
    dir.Write("show.sync", document.Text());
    dir.Write("song.txt", kSong);
    const ProgramResult run = RunProgram(SYNCTOOL_PATH, {"compile", "--sections", "song.txt", "-o", "out", "show.sync"},
                                         dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const SourceTrack& track : document.Tracks()) {
        const TrackFileContents file = ParseTrackBytes(dir.Read("out/" + TrackFileName(track.name)));
        EXPECT_TRUE(SameKeys(file.keys, track.keys)) << track.name;
    }
    EXPECT_EQ(document.Find("Camera Yaw")->keys.size(), 0u);
}

TEST(SourceEdit, ChangedTrackNamesListsEveryDifferenceOnce) {
    SourceDocument a = Load(kSource);
    SourceDocument b = Load(kSource);
    std::string error;
    ASSERT_TRUE(b.Apply({Set("Camera Yaw", 0, 11), Set("Added", 0, 1)}, &error));
    EXPECT_EQ(ChangedTrackNames(a.Tracks(), b.Tracks()), (std::vector<std::string>{"Camera Yaw", "Added"}));
    EXPECT_EQ(ChangedTrackNames(b.Tracks(), a.Tracks()), (std::vector<std::string>{"Camera Yaw", "Added"}));
    EXPECT_TRUE(ChangedTrackNames(a.Tracks(), a.Tracks()).empty());
}

TEST(SourceEdit, ThousandsOfRandomEditsOfTheShowAreAllTakenAndReadBack) {
    // Valid edits only (rows free or taken as each op needs): every one must
    // be taken, and the text must read back as the intended tracks.
    std::string text;
    SourceDocument document;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadTheShow(&text, &document, &errors)) << ::testing::PrintToString(errors);
    std::mt19937 random(20240611);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const float values[] = {0, 1, -1, 0.5f, 0.1f, 123.25f, -7e-3f, 1e9f};
    for (int i = 0; i < 1500; ++i) {
        const std::vector<SourceTrack>& tracks = document.Tracks();
        const bool newTrack = pick(0, 200) == 0;
        const SourceTrack& track = tracks[size_t(pick(0, int(tracks.size()) - 1))];
        const std::string name = newTrack ? "Random " + std::to_string(i) : track.name;
        auto taken = [&](int32_t row) {
            for (const TrackKey& key : track.keys)
                if (key.row == row) return true;
            return false;
        };
        int32_t row = pick(-64, 4400);
        KeyEdit edit;
        const int kind = newTrack || track.keys.empty() ? 0 : pick(0, 2);
        if (kind == 0) {
            edit = Set(name, row, values[pick(0, 7)], pick(0, 1) ? -2 : pick(0, 3));
        } else {
            const TrackKey& key = track.keys[size_t(pick(0, int(track.keys.size()) - 1))];
            if (kind == 1) {
                edit = Delete(name, key.row);
            } else {
                while (taken(row)) ++row;
                edit = Move(name, key.row, row);
            }
        }
        std::string error;
        ASSERT_TRUE(document.Apply({edit}, &error)) << "op " << i << ": " << error;
    }
    ExpectCompilesToDocument(document);
}

TEST(SourceEdit, ABatchOfOpsWritesTheSameTextAsTheOpsOneByOne) {
    // The ops of one Apply are made on a model of the text, parsed once at
    // the end: each batch must give the very bytes its ops give one at a time.
    std::string text;
    SourceDocument batched, single;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadTheShow(&text, &single, &errors)) << ::testing::PrintToString(errors);
    batched = single;
    std::mt19937 random(20250301);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const float values[] = {0, 1, -1, 0.5f, 0.1f, 123.25f, -7e-3f, 1e9f};
    for (int round = 0; round < 60; ++round) {
        std::vector<KeyEdit> batch;
        const int ops = pick(1, 40);
        // Tracks near each other in the batch: ops on the lines others just wrote.
        const std::string focus = single.Tracks()[size_t(pick(0, int(single.Tracks().size()) - 1))].name;
        for (int i = 0; i < ops; ++i) {
            const SourceTrack* track = single.Find(pick(0, 3) ? focus : single.Tracks()[size_t(pick(0, 27))].name);
            const std::string name = pick(0, 60) == 0 ? "Batch " + std::to_string(round) : track->name;
            const SourceTrack* target = single.Find(name);
            const int kind = !target || target->keys.empty() ? 0 : pick(0, 3);
            KeyEdit edit;
            if (kind == 0) {
                edit = Set(name, pick(-64, 4400), values[pick(0, 7)], pick(0, 1) ? -2 : pick(0, 3));
            } else {
                const TrackKey& key = target->keys[size_t(pick(0, int(target->keys.size()) - 1))];
                if (kind == 1) {
                    edit = Delete(name, key.row);
                } else if (kind == 2) {
                    int32_t row = key.row + pick(-40, 40);
                    while (std::any_of(target->keys.begin(), target->keys.end(),
                                       [&](const TrackKey& other) { return other.row == row && row != key.row; }))
                        ++row;
                    edit = Move(name, key.row, row);
                } else {
                    edit = Set(name, key.row, 0, pick(0, 3));
                    edit.keepValue = true;
                }
            }
            std::string error;
            ASSERT_TRUE(single.Apply({edit}, &error)) << "round " << round << " op " << i << ": " << error;
            batch.push_back(edit);
        }
        std::string error;
        ASSERT_TRUE(batched.Apply(batch, &error)) << "round " << round << ": " << error;
        ASSERT_TRUE(batched.Text() == single.Text())
            << "round " << round << ": " << ::testing::PrintToString(Diff(single.Text(), batched.Text()));
        EXPECT_TRUE(ChangedTrackNames(batched.Tracks(), single.Tracks()).empty());
    }
}

TEST(SourceEdit, FourThousandNewKeysOfALongTrackAreOnePassAndARefusedLastOpChangesNothing) {
    // A track of 12,361 keys on every other row, 4096 keys put between them:
    // one pass over the text, not one per op (that took minutes).
    std::string text = "track Long\n";
    for (int row = 0; row < 2 * 12361; row += 2) text += "  " + FormatBeatTime(row) + "  0.25  linear\n";
    SourceDocument document = Load(text);
    std::vector<KeyEdit> edits;
    for (int i = 0; i < 4096; ++i) edits.push_back(Set("Long", 6 * i + 1, float(i)));
    SourceDocument refused = document;
    edits.push_back(Delete("Long", 3));
    std::string error;
    EXPECT_FALSE(refused.Apply(edits, &error));
    EXPECT_EQ(error, "op 4096: track 'Long' has no key at row 3");
    EXPECT_EQ(refused.Text(), text);
    edits.pop_back();
    ASSERT_TRUE(document.Apply(edits, &error)) << error;
    ASSERT_EQ(document.Find("Long")->keys.size(), 12361u + 4096u);
    EXPECT_EQ(document.Find("Long")->keys[1].row, 1);
    EXPECT_EQ(document.Find("Long")->keys[1].value, 0.0f);
    EXPECT_EQ(document.Text().substr(0, 65), "track Long\n  0  0.25  linear\n  0:1 0    step\n  0:2  0.25  linear\n");
    ExpectCompilesToDocument(document);
}

TEST(SourceEdit, ASetThatKeepsTheValueChangesOnlyTheInterpolation) {
    SourceDocument document = Load("track A\n  0 inf\n  1 nan   # odd values\n");
    KeyEdit edit = Set("A", 16, 0, Smooth);
    edit.keepValue = true;
    std::string error;
    ASSERT_TRUE(document.Apply({edit}, &error)) << error;
    EXPECT_EQ(document.Text(), "track A\n  0 inf\n  1 nan smooth # odd values\n");
    edit.row = 5;
    EXPECT_FALSE(document.Apply({edit}, &error));
    EXPECT_EQ(error, "op 0: track 'A' has no key at row 5, so no value to keep");
    edit.track = "B";
    EXPECT_FALSE(document.Apply({edit}, &error));
    EXPECT_EQ(error, "op 0: track 'B' has no keys, so no value to keep");
}
