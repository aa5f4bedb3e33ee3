// Capture encoder benchmark: feeds the MP4 sink (H.264 + AAC, its default
// settings) as fast as it takes frames, at 1280x720 and 1920x1080, with a
// smooth moving gradient and with moving noise (the hardest content), and the
// PNG sink with the gradient. Prints frames per second and how long WriteVideo
// held the caller: the fastest call (the copy alone, when the queue has
// room), the median and the slowest; and the share of the run spent inside
// WriteVideo and WriteAudio (near 100% means the caller waited on the
// encoder, as a caller that renders instantly does). Output goes to a
// temporary folder and is removed.
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
#include "capture/PngFrameSink.h"
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
    const char* sink;
    int width, height;
    const char* content;
    double encodeFps, fastestMs, medianMs, slowestMs, heldShare;
};

// Feeds `frames` frames of moving content with their sound to the sink as fast as it takes them.
bool Run(IFrameSink& sink, const char* name, int width, int height, bool noise, int frames, Row* row) {
    constexpr int kFps = 60, kRate = 48000, kChannels = 2;
    const std::vector<uint8_t> strip = noise ? NoiseStrip(width, height) : GradientFrame(width, height * 2, 0);
    const std::vector<int16_t> sound = SweepSound(kRate, kChannels, frames * kRate / kFps);
    std::string error;
    if (!sink.Open({width, height, kFps, kRate, kChannels}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::vector<double> calls;
    double heldMs = 0;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        // The gradient scrolls a row a frame; the noise jumps farther than motion search looks.
        const int offset = noise ? i * 389 % height : i % height;
        const uint8_t* picture = strip.data() + static_cast<size_t>(offset) * width * 4;
        const int16_t* samples = sound.data() + static_cast<size_t>(i) * (kRate / kFps) * kChannels;
        const Clock::time_point before = Clock::now();
        const bool ok = sink.WriteVideo(picture);
        const Clock::time_point between = Clock::now();
        const bool soundOk = ok && sink.WriteAudio(samples, kRate / kFps);
        calls.push_back(Milliseconds(before, between));
        heldMs += Milliseconds(before, Clock::now());
        if (!soundOk) break;
    }
    if (!sink.Finish(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const double totalMs = Milliseconds(start, Clock::now());
    std::sort(calls.begin(), calls.end());
    *row = {name, width, height, noise ? "noise" : "gradient", frames / (totalMs / 1000.0), calls.front(),
            calls[calls.size() / 2], calls.back(), heldMs / totalMs};
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
    const Mp4Settings mp4;
    std::printf("%d frames per run at 60 fps with 48 kHz stereo sound; MP4: x264 %s (%s), CRF %d, %d threads, AAC;\n"
                "PNG: RGB, a quarter of the frames\n",
                frames, mp4.preset.c_str(), mp4.x264Params.c_str(), mp4.crf, mp4.encoderThreads);
    std::printf("%-5s %-10s %-9s %11s %12s %11s %12s %7s\n", "sink", "size", "content", "frames/s", "call min ms",
                "median ms", "slowest ms", "held");
    bool ok = true;
    auto print = [](const Row& row) {
        char label[24];
        std::snprintf(label, sizeof label, "%dx%d", row.width, row.height);
        std::printf("%-5s %-10s %-9s %11.1f %12.2f %11.2f %12.2f %6.0f%%\n", row.sink, label, row.content,
                    row.encodeFps, row.fastestMs, row.medianMs, row.slowestMs, row.heldShare * 100);
        std::fflush(stdout);
    };
    for (const auto& size : {std::pair<int, int>{1280, 720}, std::pair<int, int>{1920, 1080}}) {
        for (bool noise : {false, true}) {
            Mp4Sink sink(folder + "/bench.mp4");
            Row row{};
            ok = Run(sink, "mp4", size.first, size.second, noise, frames, &row) && ok;
            if (row.sink) print(row);
            std::filesystem::remove(folder + "/bench.mp4");
        }
        PngFrameSink sink(folder + "/frames");
        Row row{};
        ok = Run(sink, "png", size.first, size.second, false, std::max(1, frames / 4), &row) && ok;
        if (row.sink) print(row);
        std::filesystem::remove_all(folder + "/frames");
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
