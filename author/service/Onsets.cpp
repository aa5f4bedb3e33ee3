// Onsets: aubio over the mono mix, read hop by hop straight from the 16-bit
// samples (no second copy of the song), the rise at each onset, the rows and
// the ranks.
#include "author/service/Onsets.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "author/service/ShowJson.h"

namespace {

// The decoded block as mono floats, frame by frame.
class MonoSamples {
public:
    explicit MonoSamples(const DecodedSong& song)
        : song(song),
          frameBytes(size_t(std::max(song.channels, 1)) * 2),
          frames(song.channels > 0 ? std::min(song.decodedBytes, song.samples.size()) / frameBytes : 0) {}

    size_t Frames() const { return frames; }

    float At(size_t frame) const {
        int sum = 0;
        for (int channel = 0; channel < song.channels; ++channel) {
            int16_t sample;
            std::memcpy(&sample, &song.samples[frame * frameBytes + size_t(channel) * 2], 2);
            sum += sample;
        }
        return float(sum) / (32768.0f * float(song.channels));
    }

    // Mean power of frames [first, last) in dB (very low for none).
    double LevelDb(double first, double last) const {
        const size_t from = size_t(std::clamp(first, 0.0, double(frames)));
        const size_t to = size_t(std::clamp(last, 0.0, double(frames)));
        double sum = 0;
        for (size_t frame = from; frame < to; ++frame) {
            const double value = At(frame);
            sum += value * value;
        }
        return 10.0 * std::log10(sum / double(std::max<size_t>(to - from, 1)) + 1e-12);
    }

private:
    const DecodedSong& song;
    const size_t frameBytes;
    const size_t frames;
};

struct AubioDelete {
    void operator()(aubio_onset_t* onset) const { del_aubio_onset(onset); }
    void operator()(fvec_t* vector) const { del_fvec(vector); }
};

// Onset frames as aubio reports them.
std::vector<size_t> DetectFrames(const MonoSamples& mono, long rate, const OnsetSettings& settings) {
    std::vector<size_t> found;
    if (settings.hop == 0 || settings.buffer < settings.hop || rate <= 0) return found;
    std::unique_ptr<aubio_onset_t, AubioDelete> detector(
        new_aubio_onset(settings.method.c_str(), settings.buffer, settings.hop, uint_t(rate)));
    std::unique_ptr<fvec_t, AubioDelete> input(new_fvec(settings.hop)), output(new_fvec(1));
    if (!detector || !input || !output) return found;
    aubio_onset_set_threshold(detector.get(), settings.peakThreshold);
    aubio_onset_set_silence(detector.get(), settings.silenceDb);
    aubio_onset_set_minioi_ms(detector.get(), settings.minimumGapMs);
    for (size_t start = 0; start < mono.Frames(); start += settings.hop) {
        for (size_t i = 0; i < settings.hop; ++i)
            input->data[i] = start + i < mono.Frames() ? mono.At(start + i) : 0.0f;
        aubio_onset_do(detector.get(), input.get(), output.get());
        if (output->data[0] != 0) found.push_back(aubio_onset_get_last(detector.get()));
    }
    return found;
}

// A quarter of the onsets hidden at least, and no more than two a beat shown.
float DefaultThreshold(const std::vector<Onset>& onsets, double beats) {
    std::vector<double> strengths;
    for (const Onset& onset : onsets) strengths.push_back(onset.strength);
    std::sort(strengths.begin(), strengths.end(), std::greater<double>());
    const size_t n = strengths.size();
    const size_t limit = std::min(n - n / 4, size_t(std::max(0.0, std::floor(2.0 * beats))));
    double threshold = 1.0;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && strengths[j] == strengths[i]) ++j;  // every onset of this strength
        if (j > limit) break;
        threshold = strengths[i];
        i = j;
    }
    return float(threshold);
}

}  // namespace

OnsetList FindOnsets(const DecodedSong& song, double rowsPerSecond, int rowsPerBeat, const OnsetSettings& settings) {
    OnsetList list;
    const MonoSamples mono(song);
    if (mono.Frames() == 0 || song.rate <= 0 || rowsPerSecond <= 0) return list;
    const double rate = double(song.rate);

    // The rise at each onset; the strongest of a row stands for it.
    std::map<int64_t, double> riseOfRow;
    for (const size_t frame : DetectFrames(mono, song.rate, settings)) {
        const double at = double(frame);
        const double rise = mono.LevelDb(at, at + 0.040 * rate) - mono.LevelDb(at - 0.040 * rate, at - 0.005 * rate);
        const int64_t row = std::llround(at / rate * rowsPerSecond);
        auto [it, added] = riseOfRow.emplace(row, rise);
        if (!added) it->second = std::max(it->second, rise);
    }

    // Ranks, equal rises sharing the mean of their ranks.
    std::vector<std::pair<double, size_t>> order;
    for (const auto& [row, rise] : riseOfRow) {
        order.push_back({rise, list.onsets.size()});
        list.onsets.push_back({row, 1.0f});
    }
    std::sort(order.begin(), order.end());
    const size_t n = order.size();
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && order[j].first == order[i].first) ++j;
        const double rank = n > 1 ? (double(i + j - 1) / 2.0) / double(n - 1) : 1.0;
        // Four decimals: what the page compares with the threshold is what was sent.
        for (size_t k = i; k < j; ++k) list.onsets[order[k].second].strength = float(std::round(rank * 10000.0) / 10000.0);
        i = j;
    }
    const double beats = double(mono.Frames()) / rate * rowsPerSecond / double(std::max(rowsPerBeat, 1));
    list.threshold = DefaultThreshold(list.onsets, beats);
    return list;
}

std::string OnsetsJson(const OnsetList& list, int rowsPerBeat) {
    nlohmann::json onsets = nlohmann::json::array();
    // Doubles rounded again, so that a float's binary tail does not show.
    const auto decimals = [](float value) { return std::round(double(value) * 10000.0) / 10000.0; };
    for (const Onset& onset : list.onsets) onsets.push_back({{"row", onset.row}, {"strength", decimals(onset.strength)}});
    return Dump({{"rowsPerBeat", rowsPerBeat}, {"threshold", decimals(list.threshold)}, {"onsets", onsets}});
}
