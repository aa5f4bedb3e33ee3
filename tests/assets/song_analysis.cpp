// Song analysis for the asset tests. The onset detector works on 11.6 ms
// windows every 2.9 ms, so its times are good to a few milliseconds.
#include "song_analysis.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <complex>

bool DecodeOgg(const std::string& path, DecodedAudio& out) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) < 0) return false;
    const vorbis_info* info = ov_info(&vf, -1);
    if (!info) {
        ov_clear(&vf);
        return false;
    }
    out = DecodedAudio();
    out.channels = info->channels;
    out.rate = info->rate;
    std::vector<char> buffer(65536);
    int section = 0;
    for (;;) {
        const long got = ov_read(&vf, buffer.data(), int(buffer.size()), 0, 2, 1, &section);
        if (got <= 0) break;
        const int16_t* pcm = reinterpret_cast<const int16_t*>(buffer.data());
        for (long i = 0; i < got / 2; ++i) {
            if (pcm[i] == 32767 || pcm[i] == -32768) ++out.clippedSamples;
            out.samples.push_back(pcm[i] / 32768.0f);
        }
    }
    ov_clear(&vf);
    return true;
}

double RmsDb(const DecodedAudio& audio, size_t from, size_t to) {
    to = std::min(to, audio.Frames());
    double sum = 0;
    size_t count = 0;
    for (size_t i = from * audio.channels; i < to * audio.channels; ++i, ++count)
        sum += double(audio.samples[i]) * audio.samples[i];
    if (count == 0 || sum == 0) return -200.0;
    return 10.0 * std::log10(sum / double(count));
}

double Peak(const DecodedAudio& audio, size_t from, size_t to) {
    to = std::min(to, audio.Frames());
    double peak = 0;
    for (size_t i = from * audio.channels; i < to * audio.channels; ++i)
        peak = std::max(peak, double(std::fabs(audio.samples[i])));
    return peak;
}

double GatedLoudness(const DecodedAudio& audio) {
    const size_t block = size_t(audio.rate * 0.4), hop = block / 4;
    std::vector<double> blocks;  // summed channel mean squares
    for (size_t start = 0; start + block <= audio.Frames(); start += hop) {
        double sum = 0;
        for (size_t i = start * audio.channels; i < (start + block) * audio.channels; ++i)
            sum += double(audio.samples[i]) * audio.samples[i];
        blocks.push_back(sum / double(block));
    }
    auto loudness = [](double ms) { return -0.691 + 10.0 * std::log10(std::max(ms, 1e-20)); };
    auto gatedMean = [&](double gate) {
        double sum = 0;
        size_t n = 0;
        for (double b : blocks)
            if (loudness(b) > gate) sum += b, ++n;
        return n ? sum / double(n) : 0.0;
    };
    const double relativeGate = loudness(gatedMean(-70.0)) - 10.0;
    return loudness(gatedMean(relativeGate));
}

namespace {

void Fft(std::vector<std::complex<float>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const float angle = -2.0f * 3.14159265358979f / float(len);
        const std::complex<float> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<float> w(1.0f, 0.0f);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<float> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

}  // namespace

std::vector<double> DetectOnsets(const DecodedAudio& audio) {
    const size_t window = 512, hop = 128, bins = window / 2;
    const size_t frames = audio.Frames();
    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) {
        float s = 0;
        for (int c = 0; c < audio.channels; ++c) s += audio.samples[i * audio.channels + c];
        mono[i] = s / float(audio.channels);
    }
    std::vector<float> hann(window);
    for (size_t i = 0; i < window; ++i) hann[i] = 0.5f - 0.5f * std::cos(2.0f * 3.14159265f * i / window);

    std::vector<float> flux;
    std::vector<float> previous(bins, 0.0f), current(bins);
    std::vector<std::complex<float>> buffer(window);
    for (size_t start = 0; start + window <= frames; start += hop) {
        for (size_t i = 0; i < window; ++i) buffer[i] = mono[start + i] * hann[i];
        Fft(buffer);
        float f = 0;
        for (size_t k = 1; k < bins; ++k) {
            current[k] = std::log1p(100.0f * std::abs(buffer[k]));
            f += std::max(0.0f, current[k] - previous[k]);
        }
        flux.push_back(start == 0 ? 0.0f : f);
        std::swap(previous, current);
    }

    // A peak stands out of its neighbourhood (+-70 ms) and is the largest within +-20 ms.
    std::vector<double> onsets;
    const double frameSeconds = double(hop) / audio.rate;
    const int near = int(0.02 / frameSeconds), wide = int(0.07 / frameSeconds);
    float globalMax = 0;
    for (float f : flux) globalMax = std::max(globalMax, f);
    for (int t = 1; t + 1 < int(flux.size()); ++t) {
        bool isMax = true;
        for (int u = std::max(0, t - near); u <= std::min(int(flux.size()) - 1, t + near) && isMax; ++u)
            if (flux[u] > flux[t] || (flux[u] == flux[t] && u < t)) isMax = false;
        if (!isMax) continue;
        double mean = 0;
        int n = 0;
        for (int u = std::max(0, t - wide); u <= std::min(int(flux.size()) - 1, t + wide); ++u) mean += flux[u], ++n;
        mean /= n;
        if (flux[t] > 1.4 * mean && flux[t] > 0.04 * globalMax)
            // The flux rises between frame t-1 and t: the attack sits near their boundary.
            onsets.push_back((double(t) * hop + window * 0.5) / audio.rate - 0.5 * frameSeconds);
    }
    return onsets;
}

double NearestOnsetDistance(const std::vector<double>& onsets, double t) {
    auto it = std::lower_bound(onsets.begin(), onsets.end(), t);
    double best = 1e9;
    if (it != onsets.end()) best = std::min(best, *it - t);
    if (it != onsets.begin()) best = std::min(best, t - *(it - 1));
    return best;
}
