// Benchmark: the live editor's service inside the real tessel-author (the
// session runs in this process, on a private Xvfb with OpenAL's silent
// device, playing the production's show in a 640 x 360 window, small so
// that the frames are many and the service's share of each is the largest):
//   - edit-to-picture: frames from an edit's reply to the first presented
//     frame that shows it, as the push channel reports them (p50, p99);
//   - the show's frames with no page connected and with four pages taking
//     every position: each frame's work (the frame less its pacing sleep)
//     and the interval between frames;
//   - POST /api/edit requests per second for one-key edits, from one
//     client and from four at once.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "author/AuthorSession.h"
#include "bench/editor/bench_show.h"
#include "tests/support/http_client.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/websocket_client.h"
#include "tests/support/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

volatile std::sig_atomic_t gStop = 0;

void Pause(double seconds) { std::this_thread::sleep_for(std::chrono::milliseconds(long(seconds * 1000))); }

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(std::ceil(fraction * double(values.size()))) - 1)];
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? 0 : sum / double(values.size());
}

struct Window {
    Clock::time_point from, to;
};

struct FrameFigures {
    size_t frames = 0;
    double workP50 = 0, workMean = 0, workP99 = 0, intervalMean = 0, serviceMean = 0, serviceP99 = 0;
};

FrameFigures Figures(const std::vector<AuthorSession::FrameTiming>& frames, const std::vector<Window>& windows) {
    std::vector<double> work, intervals, service;
    for (const Window& window : windows) {
        Clock::time_point previous{};
        for (const auto& frame : frames) {
            if (frame.start < window.from || frame.start >= window.to) continue;
            work.push_back(frame.workMs);
            service.push_back(frame.serviceMs * 1000);
            if (previous != Clock::time_point())
                intervals.push_back(std::chrono::duration<double, std::milli>(frame.start - previous).count());
            previous = frame.start;
        }
    }
    return {work.size(),     Percentile(work, 0.5), Mean(work), Percentile(work, 0.99), Mean(intervals),
            Mean(service),   Percentile(service, 0.99)};
}

struct Results {
    std::vector<Window> none, four;  // alternating, so that a change in the machine's load hits both
    std::vector<double> latency;
    double editsOne = 0, editsFour = 0;
    std::string failure;
};

// One-key edits from `clients` threads for `seconds`; requests per second.
double EditRate(int port, const std::string& bearer, int clients, double seconds) {
    std::atomic<long> done{0};
    std::atomic<bool> failed{false};
    const auto end = Clock::now() + std::chrono::milliseconds(long(seconds * 1000));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            for (int i = 0; Clock::now() < end; ++i) {
                const std::string body = R"({"ops":[{"op":"set","track":"Vignette","row":)" + std::to_string(16 * c) +
                                         R"(,"value":)" + std::to_string(0.3 + 0.001 * (i % 100)) + "}]}";
                if (Http(port, "POST", "/api/edit", body, {bearer}).status != 200) failed = true;
                ++done;
            }
        });
    for (std::thread& thread : threads) thread.join();
    return failed ? -1 : double(done) / seconds;
}

void Drive(EditorService* service, Results* results) {
    const int port = service->Port();
    const std::string bearer = "Authorization: Bearer " + service->Token();
    const std::string cookie = "Cookie: tessel_session=" + service->Token();
    Pause(3);  // the show settles: first frames, shaders, the song
    // One beat of the drop, looped: every frame draws about the same picture
    // and the show plays, so the pages get every frame's position.
    if (Http(port, "POST", "/api/transport", R"({"row":1280,"loop":[1280,1296],"play":true})", {bearer}).status != 200) {
        results->failure = "the transport did not answer";
        gStop = 1;
        return;
    }
    std::vector<std::unique_ptr<WebSocketClient>> pages;
    for (int round = 0; round < 8; ++round) {
        pages.clear();
        while (service->Hub().Clients() > 0) Pause(0.05);
        Pause(0.5);
        results->none.push_back({Clock::now(), Clock::now() + std::chrono::seconds(3)});
        Pause(3);
        for (int i = 0; i < 4; ++i)
            pages.push_back(std::make_unique<WebSocketClient>(port, std::vector<std::string>{cookie}));
        while (service->Hub().Clients() < 4) Pause(0.05);
        Pause(0.5);
        results->four.push_back({Clock::now(), Clock::now() + std::chrono::seconds(3)});
        Pause(3);
    }

    // Edit to picture, read on one of the pages.
    for (int i = 0; i < 200; ++i) {
        const std::string body = R"({"ops":[{"op":"set","track":"Vignette","row":0,"value":)" +
                                 std::to_string(0.5 + 0.001 * i) + "}]}";
        const HttpReply reply = Http(port, "POST", "/api/edit", body, {bearer});
        const json answer = json::parse(reply.body, nullptr, false);
        if (reply.status != 200 || !answer.is_object()) {
            results->failure = "an edit failed: " + reply.body;
            break;
        }
        const int64_t revision = answer["revision"], frame = answer["frame"];
        std::string message;
        if (!pages[0]->Next(
                [&](const std::string& m) {
                    const json position = json::parse(m, nullptr, false);
                    return position.is_object() && position["type"] == "position" && position["revision"] >= revision;
                },
                &message)) {
            results->failure = "no frame showed revision " + std::to_string(revision);
            break;
        }
        results->latency.push_back(double(json::parse(message)["frame"].get<int64_t>() - frame));
    }
    pages.clear();

    results->editsOne = EditRate(port, bearer, 1, 3);
    results->editsFour = EditRate(port, bearer, 4, 3);
    gStop = 1;
}

}  // namespace

int main() {
    XvfbServer server(1920, 1080);
    ScratchDir show, work;
    if (!EnterBenchShow("editor_bench", server, show, work)) return 1;

    AuthorOptions options = DefaultAuthorOptions(TESSEL_SOURCE_TREE);
    options.source = work / "show.sync";
    options.port = 0;
    AuthorSession session;
    session.RecordFrames(true);
    std::string error;
    if (!session.Start(options, &error)) {
        session.Shutdown();
        std::fprintf(stderr, "editor_bench: %s\n", error.c_str());
        return 1;
    }
    Results results;
    std::thread driver(Drive, session.Service(), &results);
    session.Run(&gStop);
    driver.join();
    const std::vector<AuthorSession::FrameTiming> frames = session.Frames();
    session.Shutdown();
    if (!results.failure.empty()) {
        std::fprintf(stderr, "editor_bench: %s\n", results.failure.c_str());
        return 1;
    }

    const FrameFigures none = Figures(frames, results.none), four = Figures(frames, results.four);
    std::printf("tessel-author with the editing service, the production's show at 640 x 360 (Mesa llvmpipe, "
                "silent sound device), one beat of the drop looped; eight rounds of 3 s with no page, then 3 s with four\n\n");
    std::printf("%-24s %7s %12s %12s %12s %16s %16s %15s\n", "pages taking positions", "frames", "work p50 ms",
                "work mean ms", "work p99 ms", "interval mean ms", "service mean us", "service p99 us");
    for (const auto& [name, figures] : {std::make_pair("none", none), std::make_pair("4", four)})
        std::printf("%-24s %7zu %12.2f %12.2f %12.2f %16.2f %16.1f %15.1f\n", name, figures.frames, figures.workP50,
                    figures.workMean, figures.workP99, figures.intervalMean, figures.serviceMean, figures.serviceP99);
    std::printf("%-24s %7s %11.1f%% %11.1f%% %12s %15.1f%%\n", "4 pages against none", "",
                100.0 * (four.workP50 / none.workP50 - 1), 100.0 * (four.workMean / none.workMean - 1), "",
                100.0 * (four.intervalMean / none.intervalMean - 1));
    std::printf("%-24s the service's part of a frame with 4 pages: %.3f%% of the 16.7 ms budget (mean)\n", "",
                100.0 * four.serviceMean / 1000.0 / (1000.0 / 60.0));
    std::printf("\n%-32s %8s %12s %12s %12s\n", "edit to picture", "edits", "p50 frames", "p99 frames", "max frames");
    std::printf("%-32s %8zu %12.0f %12.0f %12.0f\n", "reply to first frame showing it", results.latency.size(),
                Percentile(results.latency, 0.5), Percentile(results.latency, 0.99),
                Percentile(results.latency, 1.0));
    std::printf("\n%-32s %12s\n", "POST /api/edit, one key", "requests/s");
    std::printf("%-32s %12.0f\n", "one client", results.editsOne);
    std::printf("%-32s %12.0f\n", "four clients at once", results.editsFour);
    std::printf("\n(each request on a new connection; a frame's work excludes its pacing sleep to the 16.7 ms budget;\n"
                " the service's part is the queue taken before the frame and the position pushed after it)\n");
    return 0;
}
