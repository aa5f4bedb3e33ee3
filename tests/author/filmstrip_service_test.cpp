// The filmstrip through the editing service, with real tessel-stills
// children in the show folder: every bar gets its picture (JPEG, served from
// memory at its url); a Fade key of 1 over one bar is pushed as redrawing
// that bar alone, and its new picture is black while the others keep
// theirs byte for byte; /api/frame refuses what is out of bounds with 400
// and a flood with 503 while the show's frames go on; a picture-maker that
// is killed is started again and the next picture comes.
#include <gtest/gtest.h>
#include <signal.h>
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <chrono>
#include <future>
#include <nlohmann/json.hpp>

#include "tests/author/service_harness.h"

using nlohmann::json;

namespace {

// Fade 0 all along: every bar's picture shows the scene.
const char kSource[] =
    "track Fade\n"
    "  0       0\n"
    "\n"
    "track Effect Index\n"
    "  0       0\n";

void WithFilmstrip(EditorConfig& config) {
    FilmstripConfig strip;
    strip.stillsProgram = std::string(TESSEL_SHOW_DIR) + "/tessel-stills";
    strip.showFolder = TESSEL_SHOW_DIR;
    strip.logFolder = config.sourcePath.substr(0, config.sourcePath.find_last_of('/'));
    strip.frameQueue = 2;
    strip.idlePriority = false;  // idle, the children could wait for minutes on a busy machine
    config.filmstrip = strip;
}

json Strip(ServiceHarness& service) { return json::parse(service.Get("/api/filmstrip").body, nullptr, false); }

// Waits until every bar's picture is ready at `revision` or later.
bool AllReady(ServiceHarness& service, int64_t revision, json* strip, double seconds = 240) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        *strip = Strip(service);
        bool ready = strip->is_object() && !(*strip)["frames"].empty();
        for (const json& frame : ready ? (*strip)["frames"] : json::array())
            ready = ready && frame["ready"].get<bool>() && frame["revision"].get<int64_t>() >= revision;
        if (ready) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The mean of a JPEG's channels, 0..255; -1 when it does not decode.
double Mean(const std::string& jpeg) {
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(jpeg.data()),
                                                  int(jpeg.size()), &w, &h, &n, 3);
    if (!pixels) return -1;
    double sum = 0;
    for (int i = 0; i < w * h * 3; ++i) sum += pixels[i];
    stbi_image_free(pixels);
    return sum / (w * h * 3);
}

TEST(FilmstripService, PicturesOfEveryBarRedrawnWhereAnEditReaches) {
    ServiceHarness service(kSource, WithFilmstrip);
    ASSERT_TRUE(service.Started()) << service.error;
    json strip;
    ASSERT_TRUE(AllReady(service, 1, &strip)) << strip.dump();
    ASSERT_EQ(strip["frames"].size(), 20u);  // the harness song's 80 beats
    EXPECT_EQ(strip["width"], 192);
    EXPECT_EQ(strip["height"], 108);
    std::vector<std::string> before;
    for (const json& frame : strip["frames"]) {
        const HttpReply picture = service.Get(frame["url"].get<std::string>());
        ASSERT_EQ(picture.status, 200) << frame.dump();
        EXPECT_EQ(picture.Header("content-type"), "image/jpeg");
        EXPECT_EQ(picture.body.compare(0, 2, "\xFF\xD8"), 0);
        before.push_back(picture.body);
    }
    EXPECT_GT(Mean(before[5]), 8) << "bar 5 shows a picture, not black";
    EXPECT_EQ(service.Get("/api/filmstrip/321.jpg").status, 404);
    EXPECT_EQ(service.Get("/api/filmstrip/..%2F..%2Fshow.sync").status, 404);

    // Black over bar 5 (rows 320 to 383) only.
    auto live = service.Live();
    std::string message;
    ASSERT_TRUE(live->Next([](const std::string& m) { return m.find("\"hello\"") != std::string::npos; }, &message));
    const HttpReply edit = service.Post(
        "/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":320,"value":1,"interp":"step"},)"
                     R"({"op":"set","track":"Fade","row":321,"value":0,"interp":"step"}]})");
    ASSERT_EQ(edit.status, 200) << edit.body;
    const int64_t revision = json::parse(edit.body)["revision"];
    const auto has = [](const char* text) {
        return [text](const std::string& m) { return m.find(text) != std::string::npos; };
    };
    ASSERT_TRUE(live->Next(has("\"redrawing\""), &message));
    EXPECT_EQ(json::parse(message)["redrawing"], json::array({320})) << message;
    ASSERT_TRUE(live->Next(has("\"rows\":[320]"), &message, 120)) << "bar 5's new picture announced";
    ASSERT_TRUE(AllReady(service, revision, &strip));
    for (size_t b = 0; b < strip["frames"].size(); ++b) {
        const HttpReply picture = service.Get(strip["frames"][b]["url"].get<std::string>());
        if (b == 5)
            EXPECT_LT(Mean(picture.body), 2.0) << "bar 5 went black";
        else
            EXPECT_EQ(picture.body, before[b]) << "bar " << b << " was left as it was";
    }

    // The strip's picture-maker killed: the undo's picture comes from a
    // new one, the same as before the edit.
    Filmstrip* film = service.service.Strip();
    ASSERT_NE(film, nullptr);
    const int pid = film->StripChild();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    const HttpReply undo = service.Post("/api/undo", "{}");
    ASSERT_EQ(undo.status, 200) << undo.body;
    ASSERT_TRUE(AllReady(service, json::parse(undo.body)["revision"], &strip));
    EXPECT_EQ(service.Get(strip["frames"][5]["url"].get<std::string>()).body, before[5]);
    EXPECT_NE(film->StripChild(), pid);

    // Single frames: bounds, then more at once than the queue holds.
    for (const char* bad : {"row=10&width=0&height=10", "row=10&width=1921&height=10", "row=10&width=10&height=1081",
                            "row=-1&width=10&height=10", "row=abc&width=10&height=10", "row=99999&width=10&height=10",
                            "row=10&width=10", "row=1&row=2&width=10&height=10", "row=1e3&width=10&height=10"})
        EXPECT_EQ(service.Get(std::string("/api/frame?") + bad).status, 400) << bad;
    const HttpReply one = service.Get("/api/frame?row=330.5&width=320&height=180");
    ASSERT_EQ(one.status, 200) << one.body;
    EXPECT_EQ(one.Header("content-type"), "image/jpeg");
    const auto presented = [&service] { return json::parse(service.Get("/api/show").body)["frame"].get<int64_t>(); };
    const int64_t framesBefore = presented();
    std::vector<std::future<int>> flood;
    for (int i = 0; i < 8; ++i)
        flood.push_back(std::async(std::launch::async, [&service, i] {
            return service.Get("/api/frame?row=" + std::to_string(100 + i) + "&width=320&height=180").status;
        }));
    int ok = 0, busy = 0;
    for (auto& reply : flood) {
        const int status = reply.get();
        ok += status == 200;
        busy += status == 503;
    }
    EXPECT_GE(ok, 1);
    EXPECT_GE(busy, 1) << "a queue of 2 cannot hold 8 at once";
    EXPECT_EQ(ok + busy, 8);
    EXPECT_GT(presented(), framesBefore) << "the show's frames went on";
}

}  // namespace
