// The live editor's service end to end: the real tessel-author on a private
// X server, edited over HTTP while its push channel reports each frame.
// Setting "Fade" to 1 at the current row turns the window black, and the
// first frame carrying that revision comes at most two frames after the
// edit's reply; undo brings the picture back the same way; the source file
// shows the change and then its undo, byte for byte.
// gtest comes before the X11 headers, whose macros clash with it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "tests/support/http_client.h"
#include "tests/support/player_run.h"
#include "tests/support/running_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/show_folder.h"
#include "tests/support/websocket_client.h"
#include "tests/support/x11_probe.h"
#include "tests/support/xvfb_server.h"
#include "tests/support/text.h"
#include "tools/songform/TextLines.h"

using nlohmann::json;

namespace {

const char kConfig[] = "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 0;\n";

// The tunnel through the bloom, every value held from the first row.
const char kSource[] =
    "# the tunnel, held\n"
    "track Effect Index\n  0 1\n"
    "track PostProcessor Index\n  0 1\n"
    "track Effect Time\n  0 -1\n"
    "track Camera Distance\n  0 40\n"
    "track Bloom Dry\n  0 1\n"
    "track Bloom Wet\n  0 0.3\n"
    "track Exposure\n  0 1\n"
    "track Fade\n  0 0     # clear\n";

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        LinkBuiltShow(show, {"Audio", "Textures", "sync"});
        show.Write("Config.txt", kConfig);
        work.Write("show.sync", kSource);
        author = std::make_unique<RunningProgram>(
            TESSEL_AUTHOR,
            std::vector<std::string>{"--sync", work / "show.sync", "--sections",
                                     std::string(TESSEL_SOURCE_DIR) + "/production/song_sections.txt", "--shaders",
                                     std::string(TESSEL_SOURCE_DIR) + "/data/Shaders", "--port", "0"},
            show.path(), std::map<std::string, std::optional<std::string>>{{"DISPLAY", server.name()}, {"ALSOFT_DRIVERS", "null"}});
        ASSERT_TRUE(author->started());
        const int at = author->WaitForLine([](const std::string& l) { return StartsWith(l, "editor: "); }, 0, 120);
        ASSERT_GE(at, 0) << author->ErrorText();
        const std::string line = author->Lines()[size_t(at)];
        ASSERT_EQ(std::sscanf(line.c_str(), "editor: http://127.0.0.1:%d/?token=", &port), 1) << line;
        token = line.substr(line.find("token=") + 6);
        ASSERT_EQ(token.size(), 32u) << line;
        ASSERT_TRUE(WaitUntil([&] { return (window = probe.FindByCaption("Tessel Author")) != 0; }, 30));
        ASSERT_TRUE(probe.TypeKey(window, XK_Tab));  // the overlay off
        ASSERT_GE(author->WaitForLine([](const std::string& l) { return l == "overlay hidden"; }), 0);
    }

    json Post(const std::string& path, const std::string& body) {
        const HttpReply reply = Http(port, "POST", path, body, {"Authorization: Bearer " + token});
        EXPECT_EQ(reply.status, 200) << path << ": " << reply.body;
        return json::parse(reply.body, nullptr, false);
    }

    // The lower right part of the window.
    std::vector<uint32_t> Corner() {
        int width = 0, height = 0;
        std::vector<uint32_t> all = probe.Capture(window, &width, &height);
        std::vector<uint32_t> corner;
        for (int y = height / 2; y < height; ++y)
            for (int x = width * 2 / 3; x < width; ++x) corner.push_back(all[size_t(y) * size_t(width) + size_t(x)]);
        return corner;
    }
    size_t Lit() {
        size_t lit = 0;
        for (uint32_t p : Corner())
            if (((p >> 16) & 0xFF) > 24 || ((p >> 8) & 0xFF) > 24 || (p & 0xFF) > 24) ++lit;
        return lit;
    }
    bool ShowsAPicture() { return Lit() > Corner().size() / 10; }
    bool IsBlack() { return !Corner().empty() && Lit() == 0; }

    // How many frames after the reply (at `frame`) the first frame showing
    // `revision` was presented, from the push channel's position messages.
    int FramesUntilShown(WebSocketClient& live, int64_t revision, int64_t frame) {
        std::string message;
        if (!live.Next(
                [&](const std::string& m) {
                    const json position = json::parse(m, nullptr, false);
                    return position.is_object() && position["type"] == "position" && position["revision"] >= revision;
                },
                &message))
            return -1;
        return int(json::parse(message)["frame"].get<int64_t>() - frame);
    }

    XvfbServer server{1024, 768};
    X11Probe probe{server.name()};
    ScratchDir show;
    ScratchDir work;
    std::unique_ptr<RunningProgram> author;
    Window window = 0;
    int port = 0;
    std::string token;
};

}  // namespace

TEST_F(EditorWindow, FadeToOneAtTheCurrentRowIsBlackWithinTwoFramesAndUndoBringsThePictureBack) {
    ASSERT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 60)) << "the tunnel shows";
    WebSocketClient live(port, {"Cookie: tessel_session=" + token});
    ASSERT_EQ(live.Handshake(), 101);

    // Past row 0, where the source already has a Fade key: the edit below
    // adds a key rather than changing that one. On a busy machine the song
    // may still be at its start when the picture shows.
    json show;
    ASSERT_TRUE(WaitUntil(
        [&] {
            show = json::parse(Http(port, "GET", "/api/show", "", {"Authorization: Bearer " + token}).body, nullptr,
                               false);
            return show.is_object() && show["position"]["row"].get<double>() >= 1.0;
        },
        30))
        << show.dump();
    ASSERT_TRUE(show["position"]["playing"].get<bool>()) << show.dump();
    const int row = int(std::floor(show["position"]["row"].get<double>()));
    const json edit = Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":)" + std::to_string(row) +
                                            R"(,"value":1}],"revision":)" + show["revision"].dump() + "}");
    ASSERT_TRUE(edit.is_object());
    const int shownAfter = FramesUntilShown(live, edit["revision"], edit["frame"]);
    EXPECT_GE(shownAfter, 1);
    EXPECT_LE(shownAfter, 2) << "frames from the reply to the first frame with the edit";
    EXPECT_TRUE(WaitUntil([&] { return IsBlack(); }, 10)) << "Fade 1 is black";

    // One new line, aligned like the key before it.
    const std::string changed = kSource + ("  " + FormatBeatTime(row) + " 1\n");
    EXPECT_TRUE(WaitUntil([&] { return work.Read("show.sync") == changed; }, 5)) << work.Read("show.sync");

    const json undo = Post("/api/undo", "");
    ASSERT_TRUE(undo.is_object());
    const int undoneAfter = FramesUntilShown(live, undo["revision"], undo["frame"]);
    EXPECT_GE(undoneAfter, 1);
    EXPECT_LE(undoneAfter, 2);
    EXPECT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 10)) << "the picture is back";
    EXPECT_TRUE(WaitUntil([&] { return work.Read("show.sync") == kSource; }, 5)) << work.Read("show.sync");

    ASSERT_TRUE(probe.TypeKey(window, XK_Escape));
    EXPECT_EQ(author->Wait(60), 0) << author->ErrorText();
    EXPECT_EQ(work.Read("show.sync"), kSource);
}

TEST(EditorOpen, OpenHandsTheAddressToTheDesktopsBrowser) {
    XvfbServer server(640, 480);
    ASSERT_TRUE(server.ok());
    ScratchDir show, work;
    LinkBuiltShow(show, {"Audio", "Textures", "sync"});
    show.Write("Config.txt", kConfig);
    work.Write("show.sync", kSource);
    // A stand-in for xdg-open that notes the address it was given.
    work.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\" && mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n");
    ASSERT_EQ(chmod((work / "bin/xdg-open").c_str(), 0755), 0);
    work.Write("tmp/.keep", "");
    const char* path = std::getenv("PATH");
    RunningProgram author(TESSEL_AUTHOR,
                          {"--sync", work / "show.sync", "--sections",
                           std::string(TESSEL_SOURCE_DIR) + "/production/song_sections.txt", "--shaders",
                           std::string(TESSEL_SOURCE_DIR) + "/data/Shaders", "--port", "0", "--open"},
                          show.path(),
                          {{"DISPLAY", server.name()},
                           {"ALSOFT_DRIVERS", "null"},
                           {"TMPDIR", work / "tmp"},
                           {"PATH", work / "bin" + ":" + (path ? path : "/usr/bin:/bin")}});
    const int at = author.WaitForLine([](const std::string& l) { return StartsWith(l, "editor: "); }, 0, 120);
    ASSERT_GE(at, 0) << author.ErrorText();
    ASSERT_TRUE(WaitUntil([&] { return !work.Read("bin/opened").empty(); }, 30));
    EXPECT_EQ("editor: " + work.Read("bin/opened"), author.Lines()[size_t(at)]);
}
