// Test pictures and sound with known content: a moving colour gradient, bright
// at the top, in glReadPixels' bottom-up row order, and a frequency sweep that
// never repeats, so a shift in time shows up in a cross-correlation.
#pragma once

#include <cstdint>
#include <vector>

// Frame `index` as width*height RGBA8, rows bottom-up.
std::vector<uint8_t> GradientFrame(int width, int height, int index);
// The BT.709 limited-range luma a decoder should show for GradientFrame, top-down.
std::vector<double> GradientLuma(int width, int height, int index);
// `frames` sample frames of interleaved s16, a 300 Hz to 3 kHz sweep per channel.
std::vector<int16_t> SweepSound(int sampleRate, int channels, int frames);
