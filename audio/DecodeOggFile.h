// Decoding a whole Ogg Vorbis stream (a file, or bytes in memory) into 16-bit
// little-endian signed samples, interleaved, in one block that grows as the
// stream decodes and never beyond the stream's stated length.
#pragma once

#include <cstddef>
#include <vector>

struct DecodedSong {
    std::vector<char> samples;  // the whole block, whole sample frames
    size_t decodedBytes = 0;    // how much of it the decoder filled
    int channels = 0;
    long rate = 0;
};

// Largest block accepted: what one OpenAL buffer can take (a 32-bit signed
// byte count), which is over three hours of 44.1 kHz stereo.
constexpr double kMaxSongBytes = 2147483647.0;

// Longest silence put after a stream that ends before its stated length, in
// seconds; it is never longer than what did decode either. A bigger shortfall
// means the stated length is not to be believed: the block ends with the data.
constexpr double kMaxSilencePadSeconds = 10.0;

// Decodes the file at path into song. False (song untouched) when the file
// cannot be opened as Ogg Vorbis, has more than two channels, states a length
// that is zero, negative or too large for one buffer, decodes to nothing, or
// its block cannot be had.
bool DecodeOggFile(const char* path, DecodedSong* song);

// The same for a stream held in memory.
bool DecodeOggMemory(const void* data, size_t size, DecodedSong* song);
