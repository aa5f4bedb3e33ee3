// The track source stays the truth: edits reach the file within a second,
// atomically and with its mode kept; the service's own writes are not taken
// for saves from elsewhere; a save from elsewhere reloads the document as a
// step Undo can take back; a save that does not compile keeps the document
// and the show and refuses edits until it compiles; a save from elsewhere
// while an edit of ours is unwritten wins, the pages are told, and Undo
// brings ours back; a write that fails leaves the file alone, tells the
// pages, and is retried on the next edit.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "tests/author/service_harness.h"
#include "tests/support/player_run.h"

using nlohmann::json;

namespace {

const char kSource[] =
    "# saves\n"
    "track Fade\n"
    "  0       0\n"
    "  4       1     # bright\n";

const char kEdit[] = R"({"ops":[{"op":"set","track":"Fade","row":64,"value":0.5}]})";
const char kEdited[] =
    "# saves\n"
    "track Fade\n"
    "  0       0\n"
    "  4       0.5   # bright\n";

bool IsType(const std::string& message, const std::string& type) { return Field(message, "type") == type; }

int64_t Revision(ServiceHarness& service) { return json::parse(service.Get("/api/show").body)["revision"]; }

// A save by a text editor: a new file renamed over the source.
void SaveElsewhere(ServiceHarness& service, const std::string& text) {
    service.dir.Write("show.sync.new", text);
    ASSERT_EQ(std::rename((service.dir / "show.sync.new").c_str(), (service.dir / "show.sync").c_str()), 0);
    ASSERT_TRUE(service.FilesChanged());
}

}  // namespace

// How soon an edit is written is the benchmark's business (bench/editor);
// here it only has to arrive, with the file's mode and nothing else.
TEST(EditorSaves, EditsReachTheFileWithItsModeAndNothingElse) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    ASSERT_EQ(chmod((service.dir / "show.sync").c_str(), 0640), 0);
    ASSERT_EQ(service.Post("/api/edit", kEdit).status, 200);
    ASSERT_TRUE(service.WaitForFile(kEdited)) << service.SourceFile();
    struct stat info {};
    ASSERT_EQ(stat((service.dir / "show.sync").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FileNamesIn(service.dir.path()), (std::vector<std::string>{"show.sync", "song.txt"}));

    // Our own write, seen by the watcher, is not a save from elsewhere.
    const int64_t revision = Revision(service);
    ASSERT_TRUE(service.FilesChanged());
    ASSERT_EQ(service.Post("/api/undo", "").status, 200) << "a reload would have broken the undo step";
    EXPECT_EQ(Revision(service), revision + 1);
    EXPECT_TRUE(service.WaitForFile(kSource)) << service.SourceFile();
}

TEST(EditorSaves, ASaveFromElsewhereReloadsAndUndoTakesItBack) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    const std::string saved = "# saves\ntrack Fade\n  0       0.25\n";
    SaveElsewhere(service, saved);
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "document"); }, &message));
    EXPECT_EQ(Field(message, "cause"), "reload");
    EXPECT_EQ(json::parse(message)["tracks"][0]["keys"], json::parse(R"([{"row":0,"value":0.25,"interp":"step"}])"));
    ASSERT_TRUE(WaitUntil([&] { return service.show.Keys("Fade").size() == 1; }, 10));
    EXPECT_TRUE(WaitUntil([&] {
        for (const std::string& line : service.show.Lines())
            if (line == "tracks reloaded from show.sync: 1 tracks") return true;
        return false;
    }, 10));
    EXPECT_EQ(service.SourceFile(), saved) << "a reload writes nothing";

    ASSERT_EQ(service.Post("/api/undo", "").status, 200);
    EXPECT_TRUE(service.WaitForFile(kSource)) << service.SourceFile();
    ASSERT_TRUE(WaitUntil([&] { return service.show.Keys("Fade").size() == 2; }, 10));
}

TEST(EditorSaves, ASaveThatDoesNotCompileKeepsEverythingAndRefusesEditsUntilItDoes) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    const json before = json::parse(service.Get("/api/show").body)["tracks"];
    const std::string broken = "# saves\ntrack Fade\n  0 0\n  nowhere 1\n";
    SaveElsewhere(service, broken);
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "compile"); }, &message));
    EXPECT_EQ(Field(message, "ok"), "false");
    const std::string where = service.dir / "show.sync:4:3: unknown section or cue 'nowhere'";
    EXPECT_EQ(Field(message, "message"), where);
    const json show = json::parse(service.Get("/api/show").body);
    EXPECT_EQ(show["compileError"], where);
    EXPECT_EQ(show["tracks"], before) << "the document keeps what it had";
    EXPECT_EQ(service.show.Keys("Fade").size(), 2u) << "and so does the show";

    for (const char* path : {"/api/edit", "/api/undo", "/api/redo"}) {
        const HttpReply refused = service.Post(path, kEdit);
        EXPECT_EQ(refused.status, 409) << path;
        EXPECT_NE(Field(refused.body, "error").find(where), std::string::npos) << refused.body;
    }
    EXPECT_EQ(service.SourceFile(), broken) << "the text editor's work is never overwritten";

    const std::string fixed = "# saves\ntrack Fade\n  0 0\n  drop 1\n";
    SaveElsewhere(service, fixed);
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "document"); }, &message));
    EXPECT_EQ(json::parse(message)["tracks"][0]["keys"][1]["row"], 48 * 16);
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "compile"); }, &message));
    EXPECT_EQ(Field(message, "ok"), "true");
    EXPECT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":768,"value":0.5}]})").status, 200)
        << "edits are taken again";
}

TEST(EditorSaves, ASaveFromElsewhereWinsOverAnUnwrittenEditAndUndoBringsItBack) {
    // A long pause between writes keeps the second edit unwritten.
    ServiceHarness service(kSource, [](EditorConfig& config) { config.saveThrottle = std::chrono::seconds(60); });
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    ASSERT_EQ(service.Post("/api/edit", kEdit).status, 200);
    ASSERT_TRUE(service.WaitForFile(kEdited)) << "the first write goes at once";
    ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":0,"value":0.75}]})").status, 200);

    const std::string theirs = "# saves, by hand\ntrack Fade\n  0       0\n  4       1     # bright\n  8 0\n";
    SaveElsewhere(service, theirs);
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "conflict"); }, &message));
    EXPECT_EQ(Field(message, "message"),
              "show.sync was saved elsewhere before our last edit was written: that save wins; Undo brings our "
              "edit back");
    EXPECT_EQ(json::parse(service.Get("/api/show").body)["tracks"][0]["keys"].size(), 3u) << "their document";
    EXPECT_EQ(service.SourceFile(), theirs);

    ASSERT_EQ(service.Post("/api/undo", "").status, 200);
    const json keys = json::parse(service.Get("/api/show").body)["tracks"][0]["keys"];
    EXPECT_EQ(keys[0]["value"], 0.75) << "ours again";
    // Written at the latest when the service stops.
    service.StopFrames();
    service.service.Stop();
    EXPECT_EQ(service.SourceFile(), "# saves\ntrack Fade\n  0       0.75\n  4       0.5   # bright\n");
}

TEST(EditorSaves, AFailedWriteLeavesTheFileTellsThePagesAndIsRetriedOnTheNextEdit) {
    ScratchDir place;
    place.Write("show/show.sync", kSource);
    place.Write("show/song.txt", kHarnessSong);
    ServiceHarness service("", [&](EditorConfig& config) {
        config.sourcePath = place / "show/show.sync";
        config.sectionsPath = place / "show/song.txt";
    });
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    // The folder goes away (a disk unmounted, say): the write cannot happen.
    ASSERT_EQ(std::rename((place / "show").c_str(), (place / "away").c_str()), 0);
    ASSERT_EQ(service.Post("/api/edit", kEdit).status, 200);
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "save"); }, &message));
    EXPECT_EQ(Field(message, "ok"), "false");
    EXPECT_NE(Field(message, "error").find(place / "show/show.sync"), std::string::npos) << message;
    const json saved = json::parse(service.Get("/api/show").body)["saved"];
    EXPECT_EQ(saved["ok"], false);
    EXPECT_EQ(json::parse(service.Get("/api/show").body)["tracks"][0]["keys"][1]["value"], 0.5) << "the edit stays";

    ASSERT_EQ(std::rename((place / "away").c_str(), (place / "show").c_str()), 0);
    EXPECT_EQ(place.Read("show/show.sync"), kSource) << "the file as it was";
    ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":0,"value":0.25}]})").status, 200);
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "save"); }, &message));
    EXPECT_EQ(Field(message, "ok"), "true");
    EXPECT_EQ(place.Read("show/show.sync"), "# saves\ntrack Fade\n  0       0.25\n  4       0.5   # bright\n");
    EXPECT_EQ(json::parse(service.Get("/api/show").body)["saved"], json({{"ok", true}}));
}

TEST(EditorSaves, ASongFormSaveMovesTheKeysWrittenAgainstItsNamesAndTheSectionsWithThem) {
    ServiceHarness service("track Fade\n  start 0\n  hit   1\n");
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    std::string form = kHarnessSong;
    form.replace(form.find("cue 64 hit"), 10, "cue 68 hit");
    form += "section 80 96 coda\n";
    service.dir.Write("song.txt", form);
    ASSERT_TRUE(service.FilesChanged());
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "document"); }, &message));
    const json document = json::parse(message);
    EXPECT_EQ(document["cause"], "reload");
    EXPECT_EQ(document["rows"], 96 * 16);
    EXPECT_EQ(document["sections"].size(), 6u);
    EXPECT_EQ(document["tracks"][0]["keys"][1]["row"], 68 * 16);
    ASSERT_TRUE(WaitUntil([&] { return service.show.Song().sections.size() == 4; }, 10)) << "the transport's form";
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<TrackKey> keys = service.show.Keys("Fade");
        return keys.size() == 2 && keys[1].row == 68 * 16;
    }, 10));
    EXPECT_EQ(service.SourceFile(), "track Fade\n  start 0\n  hit   1\n") << "the source's text is unchanged";

    // A form with an error is reported like a source with one.
    service.dir.Write("song.txt", form + "cue nowhere\n");
    ASSERT_TRUE(service.FilesChanged());
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "compile"); }, &message));
    EXPECT_EQ(Field(message, "ok"), "false");
    EXPECT_EQ(Field(message, "message").rfind(service.dir / "song.txt:7:", 0), 0u) << message;
}
