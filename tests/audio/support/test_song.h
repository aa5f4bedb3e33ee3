// Songs made on the spot for tests and benchmarks: synthesised signals,
// encoded to Ogg Vorbis by the songmaker's encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Interleaved 16-bit samples: a different sweep on each channel with a slow
// amplitude wobble, so that the signal never repeats and can be aligned.
std::vector<int16_t> SynthesizeSong(int channels, long rate, double seconds);

// Writes the samples as an Ogg Vorbis file; false when encoding failed.
bool EncodeOggFile(const std::string& path, const std::vector<int16_t>& interleaved, int channels, long rate,
                   float quality = 0.4f);

// Both in one step.
bool MakeTestSong(const std::string& path, int channels, long rate, double seconds);
