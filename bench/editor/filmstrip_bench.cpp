// Benchmark: the filmstrip inside the real tessel-author (the session in
// this process on a private Xvfb, the production's show playing in its
// 640 x 360 window, tessel-stills children beside it):
//   - the whole strip (68 bars at 192 x 108) ready after the start;
//   - 20 one-key edits at random rows of random tracks: from the edit's
//     reply until every bar it reached is drawn again (p50, p95);
//   - 20 pictures of random rows at 480 x 270 (/api/frame), p50 and p95;
//   - the show window's frame interval (p50) while the strip is idle and
//     while it is redrawing.
// With --no-filmstrip it runs the same show without the strip and prints
// the frame interval alone, the figure to compare with.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "author/AuthorSession.h"
#include "bench/editor/bench_show.h"
#include "tests/support/http_client.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

volatile std::sig_atomic_t gStop = 0;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(std::ceil(fraction * double(values.size()))) - 1)];
}

struct Window {
    Clock::time_point from, to;
};

struct Results {
    bool strip = true;
    double readyMs = 0;
    std::vector<double> edits, hovers;
    std::vector<Window> idle, busy;
    std::string failure;
};

// True once every bar is ready at `revision` or later (within a minute).
bool StripReady(int port, const std::string& bearer, int64_t revision) {
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < end) {
        const json strip = json::parse(Http(port, "GET", "/api/filmstrip", "", {bearer}).body, nullptr, false);
        bool ready = strip.is_object() && !strip["frames"].empty();
        for (const json& frame : ready ? strip["frames"] : json::array())
            ready = ready && frame["ready"].get<bool>() && frame["revision"].get<int64_t>() >= revision;
        if (ready) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Drive(EditorService* service, Clock::time_point started, Results* results) {
    const int port = service->Port();
    const std::string bearer = "Authorization: Bearer " + service->Token();
    if (Http(port, "POST", "/api/transport", R"({"row":1280,"play":true})", {bearer}).status != 200) {
        results->failure = "the transport did not answer";
        gStop = 1;
        return;
    }
    if (!results->strip) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        results->idle.push_back({Clock::now(), Clock::now() + std::chrono::seconds(10)});
        std::this_thread::sleep_for(std::chrono::seconds(10));
        gStop = 1;
        return;
    }
    if (!StripReady(port, bearer, 1)) {
        results->failure = "the strip was not ready within a minute";
        gStop = 1;
        return;
    }
    results->readyMs = Ms(Clock::now() - started);

    const json show = json::parse(Http(port, "GET", "/api/show", "", {bearer}).body);
    std::vector<std::string> tracks;
    for (const json& track : show["tracks"])
        if (!track["keys"].empty()) tracks.push_back(track["name"]);
    std::mt19937 random(28);
    for (int i = 0; i < 20; ++i) {
        // Idle first: the show's frames with nothing to draw.
        const auto idleFrom = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        results->idle.push_back({idleFrom, Clock::now()});
        const std::string track = tracks[random() % tracks.size()];
        const int row = int(random() % 4352);
        const double value = double(random() % 1000) / 1000.0;
        const std::string body = R"({"ops":[{"op":"set","track":")" + track + R"(","row":)" + std::to_string(row) +
                                 R"(,"value":)" + std::to_string(value) + "}]}";
        const HttpReply reply = Http(port, "POST", "/api/edit", body, {bearer});
        const auto replied = Clock::now();
        if (reply.status != 200) {
            results->failure = "an edit failed: " + reply.body;
            break;
        }
        if (!StripReady(port, bearer, json::parse(reply.body)["revision"])) {
            results->failure = "an edit's pictures were not ready within a minute";
            break;
        }
        results->edits.push_back(Ms(Clock::now() - replied));
        results->busy.push_back({replied, Clock::now()});
    }
    for (int i = 0; i < 20 && results->failure.empty(); ++i) {
        const double row = double(random() % 4352) + 0.5;
        const auto asked = Clock::now();
        const HttpReply reply =
            Http(port, "GET", "/api/frame?row=" + std::to_string(row) + "&width=480&height=270", "", {bearer});
        if (reply.status != 200) results->failure = "a frame failed: " + reply.body;
        results->hovers.push_back(Ms(Clock::now() - asked));
    }
    gStop = 1;
}

double IntervalP50(const std::vector<AuthorSession::FrameTiming>& frames, const std::vector<Window>& windows,
                   size_t* count) {
    std::vector<double> intervals;
    for (const Window& window : windows) {
        Clock::time_point previous{};
        for (const auto& frame : frames) {
            if (frame.start < window.from || frame.start >= window.to) continue;
            if (previous != Clock::time_point()) intervals.push_back(Ms(frame.start - previous));
            previous = frame.start;
        }
    }
    *count = intervals.size();
    return Percentile(intervals, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
    Results results;
    results.strip = !(argc > 1 && std::strcmp(argv[1], "--no-filmstrip") == 0);
    XvfbServer server(1920, 1080);
    ScratchDir show, work;
    if (!EnterBenchShow("filmstrip_bench", server, show, work)) return 1;

    AuthorOptions options = DefaultAuthorOptions(TESSEL_SOURCE_TREE);
    options.source = work / "show.sync";
    options.port = 0;
    options.filmstrip = results.strip;
    options.stillsProgram = std::string(TESSEL_SHOW_DIR) + "/tessel-stills";
    AuthorSession session;
    session.RecordFrames(true);
    std::string error;
    const Clock::time_point started = Clock::now();
    if (!session.Start(options, &error)) {
        session.Shutdown();
        std::fprintf(stderr, "filmstrip_bench: %s\n", error.c_str());
        return 1;
    }
    std::thread driver(Drive, session.Service(), started, &results);
    session.Run(&gStop);
    driver.join();
    const std::vector<AuthorSession::FrameTiming> frames = session.Frames();
    session.Shutdown();
    if (!results.failure.empty()) {
        std::fprintf(stderr, "filmstrip_bench: %s\n", results.failure.c_str());
        return 1;
    }
    size_t idleCount = 0, busyCount = 0;
    const double idle = IntervalP50(frames, results.idle, &idleCount);
    if (!results.strip) {
        std::printf("tessel-author --no-filmstrip, the show playing at 640 x 360: frame interval p50 %.2f ms (%zu frames)\n",
                    idle, idleCount);
        return 0;
    }
    const double busy = IntervalP50(frames, results.busy, &busyCount);
    std::printf("tessel-author's filmstrip, the production's show playing at 640 x 360 (Mesa llvmpipe, silent sound "
                "device), 68 bars at 192 x 108\n\n");
    std::printf("%-52s %10s %10s %8s\n", "", "p50", "p95", "count");
    std::printf("%-52s %10.0f %10s %8d\n", "whole strip ready after the start (ms)", results.readyMs, "", 68);
    std::printf("%-52s %10.0f %10.0f %8zu\n", "one-key edit: reply to every reached bar drawn (ms)",
                Percentile(results.edits, 0.5), Percentile(results.edits, 0.95), results.edits.size());
    std::printf("%-52s %10.0f %10.0f %8zu\n", "hover picture 480 x 270, /api/frame (ms)", Percentile(results.hovers, 0.5),
                Percentile(results.hovers, 0.95), results.hovers.size());
    std::printf("%-52s %10.2f %10s %8zu\n", "show frame interval, strip idle (ms)", idle, "", idleCount);
    std::printf("%-52s %10.2f %10s %8zu\n", "show frame interval, strip redrawing (ms)", busy, "", busyCount);
    std::printf("%-52s %9.1f%%\n", "redrawing against idle", 100.0 * (busy / idle - 1));
    return 0;
}
