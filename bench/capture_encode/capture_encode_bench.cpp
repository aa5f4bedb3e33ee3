// Capture encoder benchmark: feeds the MP4 sink (H.264 + AAC, its default
// settings) as fast as it takes frames, at 1280x720 and 1920x1080, with a
// smooth moving gradient and with moving noise (the hardest content), and
// prints the encoder's frames per second and how long WriteVideo held the
// caller: the fastest call (the copy alone, when the queue has room), the
// median and the slowest, and the share of the run WriteVideo and WriteAudio
// spent waiting for room in the queue.
// The file goes to a temporary folder and is removed.
//
// Usage: capture_encode_bench [frames per run, default 120]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/Mp4Sink.h"
#include "tests/capture/synthetic_media.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A noise picture twice the height; each frame is a different window of it
// (as with the gradient), so making frames costs the caller nothing.
std::vector<uint8_t> NoiseStrip(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 2 * 4);
    uint32_t state = 12345;
    for (size_t i = 0; i < pixels.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        pixels[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>(state >> 24);
    }
    return pixels;
}

struct Row {
    int width, height;
    const char* content;
    double encodeFps, fastestMs, medianMs, slowestMs, waitingShare;
};

bool Run(int width, int height, bool noise, int frames, const std::string& folder, Row* row) {
    constexpr int kFps = 60, kRate = 48000, kChannels = 2;
    const std::vector<uint8_t> strip = noise ? NoiseStrip(width, height) : GradientFrame(width, height * 2, 0);
    const std::vector<int16_t> sound = SweepSound(kRate, kChannels, frames * kRate / kFps);
    Mp4Sink sink(folder + "/bench.mp4");
    std::string error;
    if (!sink.Open({width, height, kFps, kRate, kChannels}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::vector<double> calls;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        const uint8_t* picture = strip.data() + static_cast<size_t>(i % height) * width * 4;
        const Clock::time_point before = Clock::now();
        const bool ok = sink.WriteVideo(picture);
        calls.push_back(Milliseconds(before, Clock::now()));
        const int16_t* samples = sound.data() + static_cast<size_t>(i) * (kRate / kFps) * kChannels;
        if (!ok || !sink.WriteAudio(samples, kRate / kFps)) break;
    }
    const double waitedMs = sink.SecondsWaited() * 1000;
    if (!sink.Finish(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const double totalMs = Milliseconds(start, Clock::now());
    std::filesystem::remove(folder + "/bench.mp4");
    std::sort(calls.begin(), calls.end());
    *row = {width, height, noise ? "noise" : "gradient", frames / (totalMs / 1000.0), calls.front(),
            calls[calls.size() / 2], calls.back(), waitedMs / totalMs};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 120;
    if (frames < 1) {
        std::fprintf(stderr, "usage: capture_encode_bench [frames per run, at least 1]\n");
        return 2;
    }
    const std::string folder = (std::filesystem::temp_directory_path() / "tessel_capture_bench").string();
    std::filesystem::create_directories(folder);
    std::printf("MP4 sink, %d frames per run at 60 fps with 48 kHz stereo AAC (x264 veryfast, CRF 18, 4 threads)\n",
                frames);
    std::printf("%-10s %-9s %11s %12s %11s %12s %9s\n", "size", "content", "encode fps", "call min ms",
                "median ms", "slowest ms", "waiting");
    bool ok = true;
    for (const auto& size : {std::pair<int, int>{1280, 720}, std::pair<int, int>{1920, 1080}}) {
        for (bool noise : {false, true}) {
            Row row{};
            if (!Run(size.first, size.second, noise, frames, folder, &row)) {
                ok = false;
                continue;
            }
            char label[24];
            std::snprintf(label, sizeof label, "%dx%d", row.width, row.height);
            std::printf("%-10s %-9s %11.1f %12.2f %11.2f %12.2f %8.0f%%\n", label, row.content, row.encodeFps,
                        row.fastestMs, row.medianMs, row.slowestMs, row.waitingShare * 100);
            std::fflush(stdout);
        }
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
