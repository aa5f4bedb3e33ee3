// Benchmark: the song's onsets as the editing service finds them, on the
// show's song. First the settings the service uses: the time to find them
// (after the one decode the waveform already makes), how many there are,
// and against the song maker's own rhythm hits in the drop how many are
// found within one row, with every onset shown and at the default threshold
// (and at a few others). Then the same figures for other aubio detection
// functions, windows, hops and peak-picking thresholds, the measurement the
// service's settings were chosen by.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/DecodeOggFile.h"
#include "author/service/Onsets.h"
#include "tests/support/drop_hits.h"
#include "tools/songform/SongForm.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

struct Figures {
    size_t all = 0, shown = 0, foundAll = 0, foundShown = 0;
    double threshold = 0, ms = 0;
};

std::vector<int64_t> RowsAtOrAbove(const OnsetList& list, double threshold) {
    std::vector<int64_t> rows;
    for (const Onset& onset : list.onsets)
        if (onset.strength >= threshold) rows.push_back(onset.row);
    return rows;
}

// The median time of `runs` runs, and the figures of the last.
Figures Measure(const DecodedSong& song, const OnsetSettings& settings, const std::vector<int64_t>& hits, int runs,
                OnsetList* kept = nullptr) {
    std::vector<double> times;
    OnsetList list;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        list = FindOnsets(song, 140.0 / 60.0 * kSongRowsPerBeat, kSongRowsPerBeat, settings);
        times.push_back(Ms(start));
    }
    std::sort(times.begin(), times.end());
    Figures figures;
    figures.ms = times[times.size() / 2];
    figures.threshold = list.threshold;
    figures.all = list.onsets.size();
    figures.foundAll = HitsFound(hits, RowsAtOrAbove(list, 0), 1);
    const std::vector<int64_t> shown = RowsAtOrAbove(list, list.threshold);
    figures.shown = shown.size();
    figures.foundShown = HitsFound(hits, shown, 1);
    if (kept) *kept = list;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s   (prints the onsets tables for the show's song)\n", argv[0]);
        return std::string(argv[1]) == "--help" ? 0 : 1;
    }
    const std::string songPath = std::string(TESSEL_SHOW_DIR) + "/Audio/Song_094_Final.ogg";
    SongForm form;
    std::vector<std::string> errors;
    if (!LoadSongForm(std::string(TESSEL_SOURCE_TREE) + "/production/song_sections.txt", form, errors)) {
        std::fprintf(stderr, "onsets_bench: the song form does not load\n");
        return 1;
    }
    Clock::time_point start = Clock::now();
    DecodedSong song;
    if (!DecodeOggFile(songPath.c_str(), &song)) {
        std::fprintf(stderr, "onsets_bench: cannot decode %s (build the show first)\n", songPath.c_str());
        return 1;
    }
    const double decodeMs = Ms(start);
    const double seconds = double(song.decodedBytes / (size_t(song.channels) * 2)) / double(song.rate);
    const double beats = form.EndBeat();
    const std::vector<int64_t> hits = DropHitRows(form);

    const OnsetSettings chosen;
    OnsetList list;
    const Figures used = Measure(song, chosen, hits, 5, &list);
    std::printf("Onsets of the show's song (%.1f s, %.0f beats; decoding it once, for the waveform too: %.0f ms)\n",
                seconds, beats, decodeMs);
    std::printf("the service's settings: aubio \"%s\", window %u, hop %u, peak-picking threshold %.2f, silence %.0f dB\n\n",
                chosen.method.c_str(), chosen.buffer, chosen.hop, chosen.peakThreshold, chosen.silenceDb);
    std::printf("%-26s %10s %10s %12s %16s\n", "", "onsets", "per beat", "drop hits", "found within 1 row");
    std::printf("%-26s %10zu %10.2f %12zu %15.1f%%\n", "all (threshold 0)", used.all, double(used.all) / beats,
                hits.size(), 100.0 * double(used.foundAll) / double(hits.size()));
    char label[64];
    std::snprintf(label, sizeof label, "default threshold %.4f", used.threshold);
    std::printf("%-26s %10zu %10.2f %12zu %15.1f%%\n", label, used.shown, double(used.shown) / beats, hits.size(),
                100.0 * double(used.foundShown) / double(hits.size()));
    for (const double threshold : {0.5, 0.75}) {
        const std::vector<int64_t> shown = RowsAtOrAbove(list, threshold);
        std::snprintf(label, sizeof label, "threshold %.2f", threshold);
        std::printf("%-26s %10zu %10.2f %12zu %15.1f%%\n", label, shown.size(), double(shown.size()) / beats,
                    hits.size(), 100.0 * double(HitsFound(hits, shown, 1)) / double(hits.size()));
    }
    std::printf("time to find them: %.0f ms (median of 5; target 1000 ms)\n\n", used.ms);

    std::printf("Other settings (the same song; recall within one row; median of 3 runs)\n");
    std::printf("%-9s %6s %5s %5s %7s %9s %9s %9s %10s %8s\n", "method", "window", "hop", "peak", "onsets", "recall",
                "default", "shown/b", "recall", "ms");
    for (const char* method : {"energy", "hfc", "complex", "specdiff", "specflux", "kl", "mkl"})
        for (const auto& [buffer, hop] : {std::pair<unsigned, unsigned>{1024, 256}, {1024, 512}, {2048, 512}})
            for (const float peak : {0.3f, 0.4f}) {
                OnsetSettings settings;
                settings.method = method;
                settings.buffer = buffer;
                settings.hop = hop;
                settings.peakThreshold = peak;
                const Figures f = Measure(song, settings, hits, 3);
                std::printf("%-9s %6u %5u %5.2f %7zu %8.1f%% %9.3f %9.2f %9.1f%% %8.0f%s\n", method, buffer, hop, peak,
                            f.all, 100.0 * double(f.foundAll) / double(hits.size()), f.threshold,
                            double(f.shown) / beats, 100.0 * double(f.foundShown) / double(hits.size()), f.ms,
                            settings.method == chosen.method && buffer == chosen.buffer && hop == chosen.hop &&
                                    peak == chosen.peakThreshold
                                ? "  <- used"
                                : "");
            }
    std::printf("\n(strength is an onset's rank by the rise in level at it; the default threshold hides the weakest\n"
                " quarter, or more so that at most two a beat show)\n");
    return 0;
}
