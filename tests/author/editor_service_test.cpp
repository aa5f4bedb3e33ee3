// The editing service on a real loopback port, with the show played by a
// double: /api/show, every op alone and together, revisions, undo and redo
// as one history with drag groups, transport, the waveform, the push
// channel's messages, bad requests that change nothing, and pages that fall
// behind being dropped while the frames go on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/author/service_harness.h"
#include "tests/support/player_run.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/TrackSource.h"

using nlohmann::json;

namespace {

const char kSource[] =
    "# the test show\n"
    "track Fade\n"
    "  start   1     smooth   # from black\n"
    "  4       0\n"
    "\n"
    "track Camera Yaw\n"
    "  0       10    linear\n"
    "  hit     20\n"
    "\n"
    "track Extra\n"
    "  0       inf\n";

json Parsed(const HttpReply& reply) { return json::parse(reply.body, nullptr, false); }

// The keys of a track in a JSON track list.
json KeysOf(const json& tracks, const std::string& name) {
    for (const json& track : tracks)
        if (track["name"] == name) return track["keys"];
    return nullptr;
}

std::vector<TrackKey> ToKeys(const json& keys) {
    std::vector<TrackKey> out;
    for (const json& key : keys) {
        TrackKey k;
        k.row = key["row"].get<int32_t>();
        k.value = key["value"].is_null() ? 0.0f : key["value"].get<float>();
        const std::string interp = key["interp"];
        k.type = interp == "linear" ? Linear : interp == "smooth" ? Smooth : interp == "ramp" ? Ramp : Step;
        out.push_back(k);
    }
    return out;
}

// True when the file compiles to exactly the tracks GET /api/show lists.
bool FileMatchesShow(ServiceHarness& service) {
    SongForm song;
    std::vector<std::string> errors;
    std::vector<SourceTrack> tracks;
    if (!ParseSongForm(kHarnessSong, "song.txt", song, errors) ||
        !ParseTrackSource(service.SourceFile(), "show.sync", &song, &tracks, &errors))
        return false;
    const json show = Parsed(service.Get("/api/show"));
    for (const SourceTrack& track : tracks) {
        const std::vector<TrackKey> listed = ToKeys(KeysOf(show["tracks"], track.name));
        if (listed.size() != track.keys.size()) return false;
        for (size_t i = 0; i < listed.size(); ++i)
            if (listed[i].row != track.keys[i].row || listed[i].type != track.keys[i].type ||
                (std::isfinite(track.keys[i].value) && listed[i].value != track.keys[i].value))
                return false;
    }
    return true;
}

// GET /api/show without what moves on by itself (the position, the frame).
json DocumentPart(ServiceHarness& service) {
    json show = Parsed(service.Get("/api/show"));
    show.erase("position");
    show.erase("frame");
    return show;
}

bool IsType(const std::string& message, const std::string& type) { return Field(message, "type") == type; }

}  // namespace

TEST(EditorService, ShowListsTheDemosTracksThenTheSourcesWithSectionsAndState) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const HttpReply reply = service.Get("/api/show");
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.Header("content-type"), "application/json");
    const json show = Parsed(reply);
    EXPECT_EQ(show["bpm"], 140);
    EXPECT_EQ(show["rowsPerBeat"], 16);
    EXPECT_EQ(show["rows"], 80 * 16);
    EXPECT_EQ(show["revision"], 1);
    EXPECT_EQ(show["saved"], json({{"ok", true}}));
    EXPECT_TRUE(show["compileError"].is_null());
    EXPECT_TRUE(show["position"]["row"].is_number());
    EXPECT_TRUE(show["loop"].is_null());

    std::vector<std::string> names;
    for (const json& track : show["tracks"]) names.push_back(track["name"]);
    EXPECT_EQ(names, (std::vector<std::string>{"Fade", "Camera Yaw", "Effect Index", "Extra"}));
    EXPECT_EQ(KeysOf(show["tracks"], "Fade"),
              json::parse(R"([{"row":0,"value":1,"interp":"smooth"},{"row":64,"value":0,"interp":"step"}])"));
    EXPECT_EQ(KeysOf(show["tracks"], "Effect Index"), json::array()) << "read by the demo, not in the source";
    EXPECT_TRUE(KeysOf(show["tracks"], "Extra")[0]["value"].is_null()) << "inf goes out as null";

    std::vector<std::string> marks;
    for (const json& mark : show["sections"]) marks.push_back(mark["kind"].get<std::string>() + " " + mark["name"].get<std::string>());
    EXPECT_EQ(marks, (std::vector<std::string>{"section intro", "section verse", "section drop", "cue start", "cue hit"}));
    EXPECT_EQ(show["sections"][1]["row"], 256);
    EXPECT_EQ(show["sections"][1]["endRow"], 768);

    // The show started from the document: every track of it, and the
    // demo's tracks the source lacks with no keys.
    ASSERT_TRUE(WaitUntil([&] { return service.show.Keys("Fade").size() == 2; }, 10));
    EXPECT_EQ(service.show.Keys("Camera Yaw").size(), 2u);
}

TEST(EditorService, EveryOpReachesTheShowThePagesAndTheFileInPlace) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    ASSERT_EQ(live->Handshake(), 101);
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "hello"); }, &message));
    EXPECT_EQ(Field(message, "revision"), "1");

    const HttpReply reply = service.Post("/api/edit", R"({"revision":1,"ops":[
        {"op":"set","track":"Fade","row":32,"value":0.5,"interp":"linear"},
        {"op":"delete","track":"Fade","row":64},
        {"op":"move","track":"Camera Yaw","from":1024,"to":1025},
        {"op":"set","track":"Effect Index","row":0,"value":1}]})");
    ASSERT_EQ(reply.status, 200) << reply.body;
    const json answer = Parsed(reply);
    EXPECT_EQ(answer["revision"], 2);
    EXPECT_TRUE(answer["frame"].is_number());
    ASSERT_EQ(answer["tracks"].size(), 3u);
    EXPECT_EQ(KeysOf(answer["tracks"], "Fade"),
              json::parse(R"([{"row":0,"value":1,"interp":"smooth"},{"row":32,"value":0.5,"interp":"linear"}])"));
    EXPECT_EQ(KeysOf(answer["tracks"], "Camera Yaw")[1]["row"], 1025);
    EXPECT_EQ(KeysOf(answer["tracks"], "Effect Index"), json::parse(R"([{"row":0,"value":1,"interp":"step"}])"));

    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "document"); }, &message));
    const json document = json::parse(message);
    EXPECT_EQ(document["revision"], 2);
    EXPECT_EQ(document["cause"], "edit");
    EXPECT_EQ(document["tracks"], answer["tracks"]);

    ASSERT_TRUE(WaitUntil([&] { return service.show.Keys("Effect Index").size() == 1; }, 10));
    ASSERT_EQ(service.show.Keys("Fade").size(), 2u);
    EXPECT_EQ(service.show.Keys("Fade")[1].row, 32);
    ASSERT_EQ(service.show.Keys("Camera Yaw").size(), 2u);
    EXPECT_EQ(service.show.Keys("Camera Yaw")[1].row, 1025);

    // Each op a line of its own, everything else as it was.
    ASSERT_TRUE(service.WaitForFile(
        "# the test show\n"
        "track Fade\n"
        "  start   1     smooth   # from black\n"
        "  2       0.5   linear\n"
        "\n"
        "track Camera Yaw\n"
        "  0       10    linear\n"
        "  hit+0:1 20\n"
        "\n"
        "track Extra\n"
        "  0       inf\n"
        "\n"
        "track Effect Index\n"
        "  0          1              step\n"))
        << service.SourceFile();
    EXPECT_TRUE(FileMatchesShow(service));
    EXPECT_EQ(Parsed(service.Get("/api/show"))["revision"], 2);
}

TEST(EditorService, BadRequestsAreRefusedNamingTheProblemAndChangeNothing) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const json show = DocumentPart(service);
    ASSERT_TRUE(WaitUntil([&] { return service.show.Keys("Fade").size() == 2; }, 10)) << "the show has the source";
    const std::vector<TrackKey> fade = service.show.Keys("Fade");
    struct Case {
        std::string body;
        int status;
        std::string error;
    } cases[] = {
        {R"({"ops":[{"op":"set","track":"Nowhere","row":0,"value":1}]})", 400, "op 0: unknown track 'Nowhere'"},
        {R"({"ops":[{"op":"set","track":"Fade","row":2147483648,"value":1}]})", 400,
         "op 0: 'row' is outside the rows a track file can hold (-2147483648 to 2147483647)"},
        {R"({"ops":[{"op":"set","track":"Fade","row":1.5,"value":1}]})", 400, "op 0: 'row' is not a whole row"},
        {R"({"ops":[{"op":"set","track":"Fade","row":1,"value":"1"}]})", 400, "op 0: 'value' is not a number"},
        {R"({"ops":[{"op":"set","track":"Fade","row":1,"value":1e39}]})", 400,
         "op 0: 'value' is not a finite 32-bit float"},
        {R"({"ops":[{"op":"set","track":"Fade","row":1,"value":1,"interp":"cubic"}]})", 400,
         "op 0: unknown interpolation \"cubic\" (step, linear, smooth or ramp)"},
        {R"({"ops":[{"op":"set","track":"Fade","row":8,"value":1},{"op":"move","track":"Fade","from":8,"to":64}]})",
         400, "op 1: track 'Fade' already has a key at row 64"},
        {R"({"ops":[{"op":"delete","track":"Fade","row":5}]})", 400, "op 0: track 'Fade' has no key at row 5"},
        {R"({"ops":[{"op":"copy","track":"Fade","row":5}]})", 400, "op 0: unknown op \"copy\" (set, delete or move)"},
        {R"({"ops":[{"op":"set","track":"Fade","row":1,"value":1}],"revision":7})", 409,
         "revision 7 is stale: the document is at 1"},
        {R"({"ops":[]})", 400, "\"ops\" is empty"},
        {R"({"ops":[{"op":"set",)", 400, "the body is not JSON"},
        {R"([1,2])", 400, "the body needs \"ops\": [...]"},
    };
    for (const Case& c : cases) {
        const HttpReply reply = service.Post("/api/edit", c.body);
        EXPECT_EQ(reply.status, c.status) << c.body;
        EXPECT_EQ(reply.Header("content-type"), "application/json");
        EXPECT_EQ(Field(reply.body, "error"), c.error) << c.body;
    }
    std::string many = R"({"ops":[)";
    for (size_t i = 0; i <= kMaxOpsPerEdit; ++i) many += std::string(i ? "," : "") + R"({"op":"delete","track":"Fade","row":0})";
    EXPECT_EQ(Field(service.Post("/api/edit", many + "]}").body, "error"),
              "too many ops in one edit (4097; at most 4096)");
    const HttpReply huge = service.Post("/api/edit", std::string(R"({"ops":[],"pad":")") + std::string(1 << 20, 'x') + "\"}");
    EXPECT_EQ(huge.status, 413);
    EXPECT_EQ(Field(huge.body, "error"), "the body is over 1048576 bytes");
    EXPECT_EQ(service.Post("/api/transport", R"({"loop":[10,5]})").status, 400);
    EXPECT_EQ(service.Post("/api/transport", R"({"play":"yes"})").status, 400);

    EXPECT_EQ(DocumentPart(service), show);
    EXPECT_EQ(service.SourceFile(), kSource);
    const std::vector<TrackKey> now = service.show.Keys("Fade");
    ASSERT_EQ(now.size(), fade.size());
    for (size_t i = 0; i < now.size(); ++i) EXPECT_EQ(now[i].row, fade[i].row);
}

TEST(EditorService, ATrackFileHoldsAtMostSoManyKeys) {
    std::string source = "track Fade\n";
    for (int row = 0; row < int(kMaxEditedTrackKeys); ++row) source += "  " + FormatBeatTime(row) + " 0\n";
    ServiceHarness service(source);
    ASSERT_TRUE(service.Started()) << service.error;
    const HttpReply reply = service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":-1,"value":1}]})");
    EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(Field(reply.body, "error"), "op 0: track 'Fade' already holds 65536 keys, the most a track may have");
    EXPECT_EQ(service.SourceFile(), source);
}

TEST(EditorService, UndoAndRedoAreOneHistoryAndADragIsOneStep) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    // A drag: one edit per frame, all of one group.
    for (int row : {65, 66, 67})
        ASSERT_EQ(service.Post("/api/edit", R"({"group":"drag-1","ops":[{"op":"move","track":"Fade","from":)" +
                                                std::to_string(row - 1) + R"(,"to":)" + std::to_string(row) + "}]}")
                      .status,
                  200);
    // Another client's edit.
    ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Camera Yaw","row":0,"value":11}]})").status, 200);

    HttpReply undo = service.Post("/api/undo", "");
    ASSERT_EQ(undo.status, 200) << undo.body;
    EXPECT_EQ(Parsed(undo)["revision"], 6);
    EXPECT_EQ(KeysOf(Parsed(undo)["tracks"], "Camera Yaw")[0]["value"], 10);
    undo = service.Post("/api/undo", "");
    ASSERT_EQ(undo.status, 200);
    EXPECT_EQ(KeysOf(Parsed(undo)["tracks"], "Fade")[1]["row"], 64) << "the whole drag in one step";
    ASSERT_TRUE(service.WaitForFile(kSource)) << "back to the very bytes: " << service.SourceFile();
    EXPECT_EQ(service.Post("/api/undo", "").status, 409);
    EXPECT_EQ(Field(service.Post("/api/undo", "").body, "error"), "nothing to undo");

    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "document") && Field(m, "cause") == "undo"; }, &message));
    ASSERT_EQ(service.Post("/api/redo", "").status, 200);
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "document") && Field(m, "cause") == "redo"; }, &message));
    EXPECT_EQ(KeysOf(json::parse(message)["tracks"], "Fade")[1]["row"], 67);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<TrackKey> keys = service.show.Keys("Fade");
            return keys.size() == 2 && keys[1].row == 67;
        },
        10));

    // A new edit ends what could be redone.
    ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"delete","track":"Fade","row":0}]})").status, 200);
    EXPECT_EQ(Field(service.Post("/api/redo", "").body, "error"), "nothing to redo");
    EXPECT_TRUE(WaitUntil([&] { return FileMatchesShow(service); }, 10)) << service.SourceFile();
}

TEST(EditorService, PositionsArePushedEveryFrameWhilePlayingAndOnEveryChange) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    auto live = service.Live();
    std::string first, second;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "position"); }, &first));
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "position"); }, &second));
    EXPECT_EQ(json::parse(second)["frame"].get<int>(), json::parse(first)["frame"].get<int>() + 1)
        << "one a frame while playing";
    EXPECT_EQ(Field(first, "playing"), "true");
    EXPECT_EQ(Field(first, "revision"), "1");

    const HttpReply reply = service.Post("/api/transport", R"({"play":false,"row":256,"loop":[256,512]})");
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(Parsed(reply), json::parse(R"({"position":{"row":256.0,"playing":false},"loop":[256.0,512.0]})"));
    std::string paused;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "position") && Field(m, "playing") == "false"; },
                           &paused));
    EXPECT_EQ(json::parse(paused)["row"], 256.0);
    EXPECT_EQ(json::parse(paused)["loop"], json::parse("[256.0,512.0]"));

    // Paused and unchanged: nothing more until something changes.
    ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":256,"value":1}]})").status, 200);
    std::string next;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "position") || IsType(m, "document"); }, &next));
    EXPECT_TRUE(IsType(next, "document")) << next;
    ASSERT_TRUE(live->Next([](const std::string& m) { return IsType(m, "position"); }, &next));
    EXPECT_EQ(Field(next, "revision"), "2") << "the frame that showed the edit says so";
    EXPECT_EQ(Field(service.Post("/api/transport", R"({"loop":null,"play":true})").body, "loop"), "null");
}

TEST(EditorService, ATransportTheShowDoesNotAnswerFailsInsteadOfHanging) {
    ServiceHarness service(kSource, [](EditorConfig& c) { c.transportWait = std::chrono::milliseconds(200); }, false);
    ASSERT_TRUE(service.Started()) << service.error;
    const HttpReply reply = service.Post("/api/transport", R"({"play":false})");
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(Field(reply.body, "error"), "the show did not answer in time (is its window stalled?)");
}

TEST(EditorService, TheWaveformHasAMinAndMaxPerRowOfTheSong) {
    ServiceHarness service(kSource, [](EditorConfig& c) {
        c.songPath = std::string(TESSEL_SHOW_DIR) + "/Audio/Song_094_Final.ogg";
    });
    ASSERT_TRUE(service.Started()) << service.error;
    const HttpReply reply = service.Get("/api/waveform");
    ASSERT_EQ(reply.status, 200) << reply.body;
    const json wave = Parsed(reply);
    EXPECT_EQ(wave["rowsPerBeat"], 16);
    EXPECT_EQ(wave["rows"], 80 * 16);
    ASSERT_EQ(wave["peaks"].size(), 2u * 80 * 16);
    double loudest = 0;
    for (size_t i = 0; i < wave["peaks"].size(); i += 2) {
        const double low = wave["peaks"][i], high = wave["peaks"][i + 1];
        EXPECT_LE(low, high);
        EXPECT_GE(low, -1.0);
        EXPECT_LE(high, 1.0);
        loudest = std::max(loudest, high - low);
    }
    EXPECT_GT(loudest, 0.1);

    ServiceHarness silent(kSource);
    EXPECT_EQ(silent.Get("/api/waveform").status, 503) << "no song: a clear error";
}

TEST(EditorService, APageThatFallsBehindIsDroppedWhileTheFramesAndOtherPagesGoOn) {
    // A big track, so that each change message is large.
    std::string source = "track Fade\n";
    for (int row = 0; row < 4000; ++row) source += "  " + FormatBeatTime(row) + " 0.123456\n";
    ServiceHarness service(source, [](EditorConfig& c) { c.pushQueueLimit = 64; });
    ASSERT_TRUE(service.Started()) << service.error;
    auto stalled = service.Live(false, 4096);
    auto healthy = service.Live();
    ASSERT_EQ(stalled->Handshake(), 101);
    ASSERT_TRUE(WaitUntil([&] { return service.service.Hub().Clients() == 2; }, 10));
    // Paused, the frames push no positions, and each edit waits until the
    // healthy page has its change: only the page that never reads falls
    // behind, however slowly this machine runs the healthy page's reader.
    ASSERT_EQ(service.Post("/api/transport", R"({"play":false})").status, 200);
    const long before = Parsed(service.Get("/api/show"))["frame"];
    int edits = 0;
    std::string message;
    while (service.service.Hub().Dropped() == 0 && edits < 1000) {
        const std::string value = std::to_string(++edits);
        ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":0,"value":)" + value + "}]}")
                      .status,
                  200);
        ASSERT_TRUE(healthy->Next(
            [&](const std::string& m) { return IsType(m, "document") && Field(m, "revision") == std::to_string(edits + 1); },
            &message))
            << "the healthy page got change " << edits;
    }
    EXPECT_EQ(service.service.Hub().Dropped(), 1u) << "the page that never reads is dropped";
    // It leaves the list once its connection has closed.
    EXPECT_TRUE(WaitUntil([&] { return service.service.Hub().Clients() == 1; }, 10));
    ASSERT_TRUE(WaitUntil([&] { return Parsed(service.Get("/api/show"))["frame"].get<long>() > before; }, 10))
        << "the frames went on";
}
