// Benchmark: how soon tessel-author has a saved track source in effect. For
// the production's show.sync and song form: reading and compiling them, the
// swap into a device holding the show's tracks, and how long after a write
// (in place, or a rename over the file) the watcher reports it. A save is in
// effect at most one frame after the watcher reports it, plus the compile
// and the swap. Shader saves rebuild the demo; startup_bench lists what each
// program costs to build.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "author/LiveTracks.h"
#include "platform/FileWatch.h"
#include "sync/TrackFile.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 50;
constexpr double kFrameMs = 1000.0 / 60;

struct Stats {
    double median = 0, worst = 0;
};

Stats Measure(const std::function<double()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) ms.push_back(run());
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

double Since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

void Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Milliseconds from the start of `save` until the watcher reports `path`.
double WatchLatency(platform::FileWatch& watch, const std::string& path, const std::function<void()>& save) {
    watch.Poll();
    const auto start = Clock::now();
    save();
    for (;;) {
        const std::vector<std::string> changed = watch.Poll();
        if (std::find(changed.begin(), changed.end(), path) != changed.end()) return Since(start);
    }
}

}  // namespace

int main() {
    const std::string source = std::string(TESSEL_SOURCE_TREE) + "/production/show.sync";
    const std::string sections = std::string(TESSEL_SOURCE_TREE) + "/production/song_sections.txt";
    std::string text;
    if (!ReadWholeFile(source, &text)) {
        std::fprintf(stderr, "reload_bench: cannot read %s\n", source.c_str());
        return 1;
    }

    SongForm song;
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    const Stats compile = Measure([&] {
        const auto start = Clock::now();
        tracks.clear();
        errors.clear();
        CompileTrackFiles(source, sections, &song, &tracks, &errors);
        return Since(start);
    });
    if (!errors.empty()) {
        std::fprintf(stderr, "reload_bench: %s\n", errors[0].c_str());
        return 1;
    }
    size_t keys = 0;
    for (const SourceTrack& track : tracks) keys += track.keys.size();

    SyncDevice device;
    for (const SourceTrack& track : tracks) device.GetTrack(track.name.c_str());
    const Stats swap = Measure([&] {
        const auto start = Clock::now();
        SwapTracks(device, tracks);
        return Since(start);
    });

    char folderTemplate[] = "/tmp/reload-bench-XXXXXX";
    if (!mkdtemp(folderTemplate)) return 1;
    const std::string folder = folderTemplate;
    const std::string path = folder + "/show.sync";
    const std::string staged = folder + "/show.sync.new";
    Write(path, text);
    platform::FileWatch watch;
    if (!watch.Watch(folder)) {
        std::fprintf(stderr, "reload_bench: cannot watch %s\n", folder.c_str());
        return 1;
    }
    const Stats inPlace = Measure([&] { return WatchLatency(watch, path, [&] { Write(path, text); }); });
    const Stats renamed = Measure([&] {
        return WatchLatency(watch, path, [&] {
            Write(staged, text);
            std::rename(staged.c_str(), path.c_str());
        });
    });
    unlink(path.c_str());
    unlink(staged.c_str());
    rmdir(folder.c_str());

    std::printf("tessel-author track reload, production show.sync: %zu tracks, %zu keys, %zu bytes; %d runs\n\n",
                tracks.size(), keys, text.size(), kRuns);
    std::printf("| step                                   | median ms | worst ms |\n");
    std::printf("|----------------------------------------|-----------|----------|\n");
    const auto row = [](const char* step, const Stats& s) {
        std::printf("| %-38s | %9.3f | %8.3f |\n", step, s.median, s.worst);
    };
    row("read + compile source and song form", compile);
    row("swap keys into the device", swap);
    row("watcher sees an in-place write", inPlace);
    row("watcher sees a rename-over save", renamed);
    const double worst = std::max(inPlace.worst, renamed.worst) + kFrameMs + compile.worst + swap.worst;
    std::printf("\nworst save-to-effect at 60 fps: %.1f ms (watcher + one frame + compile + swap; target 500 ms)\n",
                worst);
    return 0;
}
