// Test song synthesis; the encoding is the songmaker's own.
#include "tests/audio/support/test_song.h"

#include <cmath>

#include "tools/songmaker/Encode.h"

std::vector<int16_t> SynthesizeSong(int channels, long rate, double seconds) {
    const double pi = 3.14159265358979323846;
    size_t frames = size_t(seconds * double(rate));
    std::vector<int16_t> out(frames * size_t(channels));
    for (int c = 0; c < channels; ++c) {
        double f0 = 220.0 * (c + 1);
        double f1 = 1800.0 / (c + 1);
        double phase = 0;
        for (size_t i = 0; i < frames; ++i) {
            double t = double(i) / double(rate);
            double f = f0 + (f1 - f0) * t / seconds;
            phase += 2.0 * pi * f / double(rate);
            double envelope = 0.6 + 0.4 * std::sin(2.0 * pi * (0.7 + 0.3 * c) * t);
            double v = 0.45 * envelope * std::sin(phase + c);
            out[i * size_t(channels) + size_t(c)] = int16_t(std::lrint(v * 32767.0));
        }
    }
    return out;
}

bool EncodeOggFile(const std::string& path, const std::vector<int16_t>& interleaved, int channels, long rate,
                   float quality) {
    std::vector<float> samples(interleaved.size());
    for (size_t i = 0; i < interleaved.size(); ++i) samples[i] = float(interleaved[i]) / 32768.0f;
    OggSettings settings;
    settings.quality = quality;
    settings.serial = 12345;
    settings.title = "Test song";
    std::string error;
    return WriteOggVorbis(path, samples, channels, int(rate), settings, error);
}

bool MakeTestSong(const std::string& path, int channels, long rate, double seconds) {
    return EncodeOggFile(path, SynthesizeSong(channels, rate, seconds), channels, rate);
}
