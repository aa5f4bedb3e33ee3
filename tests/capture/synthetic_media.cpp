// Known pictures and sound for the capture sink tests and benchmark.
#include "tests/capture/synthetic_media.h"

#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;

// The colour at display position (x, y from the top).
void GradientColour(int width, int height, int index, int x, int y, double rgb[3]) {
    rgb[0] = 128 + 100 * std::sin(2 * kPi * (static_cast<double>(x) / width + index / 30.0));
    rgb[1] = 220 - 180.0 * y / (height - 1);
    rgb[2] = 64 + 60 * std::cos(2 * kPi * (static_cast<double>(y) / height + index / 45.0));
}

}  // namespace

std::vector<uint8_t> GradientFrame(int width, int height, int index) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        for (int x = 0; x < width; ++x) {
            double rgb[3];
            GradientColour(width, height, index, x, y, rgb);
            uint8_t* pixel = &rgba[(static_cast<size_t>(row) * width + x) * 4];
            for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(std::lround(rgb[c]));
            pixel[3] = 255;
        }
    }
    return rgba;
}

std::vector<double> GradientLuma(int width, int height, int index) {
    std::vector<double> luma(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double rgb[3];
            GradientColour(width, height, index, x, y, rgb);
            for (double& c : rgb) c = std::lround(c);
            luma[static_cast<size_t>(y) * width + x] =
                16 + 219.0 / 255 * (0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2]);
        }
    }
    return luma;
}

std::vector<int16_t> SweepSound(int sampleRate, int channels, int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    const double seconds = static_cast<double>(frames) / sampleRate;
    for (int c = 0; c < channels; ++c) {
        const double low = 300.0 * (1 + 0.25 * c), high = 3000.0;
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            // Phase of a linear sweep from `low` to `high` over the whole sound.
            const double phase = 2 * kPi * (low * t + (high - low) * t * t / (2 * seconds));
            samples[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(12000 * std::sin(phase)));
        }
    }
    return samples;
}
