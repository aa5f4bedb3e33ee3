// Benchmark: tessel-capture's output frames per second at 1280 x 720 and
// 1920 x 1080 over a second and a half of the drop (particles, floor, bloom), split
// into drawing, read-back and encoding, with each run's peak memory; and the
// same split in CPU time of all the process's threads, which a machine busy
// with other work disturbs far less than wall time. Each run is a child
// process started in the show folder, so its peak is its own. Run from
// anywhere: the show folder is the build's.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/support/self_child.h"
#include "capture/CaptureSession.h"
#include "capture/Mp4Sink.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

enum class Stage { Draw, ReadBack, Encode };

// Takes the pictures and the sound and keeps nothing.
class DiscardingSink final : public IFrameSink {
public:
    bool Open(const StreamFormat&, std::string*) override { return true; }
    bool WriteVideo(const uint8_t*) override { return true; }
    bool WriteAudio(const int16_t*, int) override { return true; }
    bool Finish(std::string*) override { return true; }
    void Abort() override {}
};

// Child: one capture of `frames` frames; prints wall and CPU seconds per frame.
int RunChild(int width, int height, Stage stage, int frames) {
    CaptureSettings settings;
    settings.width = width;
    settings.height = height;
    settings.fps = 60;
    settings.from = 80 * 60.0 / 140.0;  // the drop
    settings.to = settings.from + double(frames) / settings.fps;
    settings.readBack = stage != Stage::Draw;
    CaptureSession session;
    std::string error;
    if (!session.Start(settings, &error)) {
        std::fprintf(stderr, "capture_bench: %s\n", error.c_str());
        return 1;
    }
    const std::string out = "/tmp/tessel-capture-bench-" + std::to_string(getpid()) + ".mp4";
    DiscardingSink discard;
    Mp4Sink mp4(out);
    IFrameSink& sink = stage == Stage::Encode ? static_cast<IFrameSink&>(mp4) : discard;
    if (!sink.Open(session.Format(), &error)) {
        std::fprintf(stderr, "capture_bench: %s\n", error.c_str());
        return 1;
    }
    // Timed from the first frame's end to the last one's, past the run-up;
    // the encoder's drain at the end is counted.
    Clock::time_point first;
    double firstCpu = 0;
    session.Run(sink,
                [&](int done, int) {
                    if (done != 1) return;
                    first = Clock::now();
                    firstCpu = ProcessCpuSeconds();
                },
                nullptr, &error);
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    const double cpuSeconds = ProcessCpuSeconds() - firstCpu;
    session.Shutdown();
    std::remove(out.c_str());
    std::printf("%.6f %.6f\n", seconds / (frames - 1), cpuSeconds / (frames - 1));
    return 0;
}

struct Measure {
    double secondsPerFrame = 0;
    double cpuSecondsPerFrame = 0;
    long peakKilobytes = 0;
};

Measure RunOnce(const char* self, int width, int height, Stage stage, int frames) {
    const ChildRun run = RunSelf({self, "--child", std::to_string(width), std::to_string(height),
                                  std::to_string(static_cast<int>(stage)), std::to_string(frames)});
    Measure measure;
    if (!run.output.empty())
        std::sscanf(run.output.c_str(), "%lf %lf", &measure.secondsPerFrame, &measure.cpuSecondsPerFrame);
    measure.peakKilobytes = run.peakKilobytes;
    return measure;
}

// Keeps the fastest of the runs of one stage (wall and CPU time each at
// their least, so that a busy moment of the machine does not count against
// it) and the largest peak.
void KeepBest(const Measure& measure, bool first, Measure* best) {
    if (first || measure.secondsPerFrame < best->secondsPerFrame) best->secondsPerFrame = measure.secondsPerFrame;
    if (first || measure.cpuSecondsPerFrame < best->cpuSecondsPerFrame)
        best->cpuSecondsPerFrame = measure.cpuSecondsPerFrame;
    best->peakKilobytes = std::max(best->peakKilobytes, measure.peakKilobytes);
}

// The three stages of one size, each run `runs` times; the stages take turns
// (draw, read back, encode, draw, ...) so that a slow spell of the machine
// weighs on all three rather than on one.
void MeasureStages(const char* self, int width, int height, int frames, int runs, Measure best[3]) {
    for (int run = 0; run < runs; ++run)
        for (int stage = 0; stage < 3; ++stage)
            KeepBest(RunOnce(self, width, height, static_cast<Stage>(stage), frames), run == 0, &best[stage]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--child")
        return RunChild(std::atoi(argv[2]), std::atoi(argv[3]), static_cast<Stage>(std::atoi(argv[4])),
                        std::atoi(argv[5]));
    if (chdir(TESSEL_SHOW_DIR) != 0) {
        std::fprintf(stderr, "capture_bench: no show folder %s\n", TESSEL_SHOW_DIR);
        return 1;
    }
    // Enough frames that the encoder's drain at the end (the frames its
    // threads and look-ahead still hold) weighs little against the steady rate.
    const int frames = argc > 1 ? std::max(2, std::atoi(argv[1])) : 90;
    const int runs = 2;
    std::printf("tessel-capture, %d frames of the drop at 60 fps, 4 samples, best of %d runs taken in turns\n\n",
                frames, runs);
    std::printf("| size        | draw ms | read-back ms | encode ms | output fps | read-back + encode | peak MB |\n");
    std::printf("|-------------|--------:|-------------:|----------:|-----------:|-------------------:|--------:|\n");
    std::fflush(stdout);
    const int sizes[][2] = {{1280, 720}, {1920, 1080}};
    Measure best[2][3];
    for (int k = 0; k < 2; ++k) {
        const int* size = sizes[k];
        MeasureStages(argv[0], size[0], size[1], frames, runs, best[k]);
        const Measure& draw = best[k][0];
        const Measure& read = best[k][1];
        const Measure& encode = best[k][2];
        const double drawMs = draw.secondsPerFrame * 1000;
        const double readMs = (read.secondsPerFrame - draw.secondsPerFrame) * 1000;
        const double encodeMs = (encode.secondsPerFrame - read.secondsPerFrame) * 1000;
        std::printf("| %4d x %-4d | %7.1f | %12.1f | %9.1f | %10.1f | %17.0f %% | %7.0f |\n", size[0], size[1],
                    drawMs, readMs, encodeMs, encode.secondsPerFrame > 0 ? 1.0 / encode.secondsPerFrame : 0.0,
                    draw.secondsPerFrame > 0 ? 100 * (encode.secondsPerFrame / draw.secondsPerFrame - 1) : 0.0,
                    encode.peakKilobytes / 1024.0);
        std::fflush(stdout);
    }
    std::printf("\nCPU time of all threads per frame (llvmpipe's rasterizers and the encoder's threads included)\n\n");
    std::printf("| size        | draw ms | read-back ms | encode ms | whole ms | fps on 2 idle cores at most |\n");
    std::printf("|-------------|--------:|-------------:|----------:|---------:|----------------------------:|\n");
    for (int k = 0; k < 2; ++k) {
        const double draw = best[k][0].cpuSecondsPerFrame * 1000, read = best[k][1].cpuSecondsPerFrame * 1000,
                     whole = best[k][2].cpuSecondsPerFrame * 1000;
        std::printf("| %4d x %-4d | %7.1f | %12.1f | %9.1f | %8.1f | %27.1f |\n", sizes[k][0], sizes[k][1], draw,
                    read - draw, whole - read, whole, whole > 0 ? 2000.0 / whole : 0.0);
    }
    return 0;
}
