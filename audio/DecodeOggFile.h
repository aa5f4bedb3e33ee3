// Decoding a whole Ogg Vorbis file into 16-bit little-endian signed samples,
// interleaved, in one block sized from the stream's stated length.
#pragma once

#include <cstddef>
#include <vector>

struct DecodedSong {
    std::vector<char> samples;  // the whole block; its size is the computed size
    size_t decodedBytes = 0;    // how much of it the decoder filled
    int channels = 0;
    long rate = 0;
};

// Largest block accepted: what one OpenAL buffer can take (a 32-bit signed
// byte count), which is over three hours of 44.1 kHz stereo.
constexpr double kMaxSongBytes = 2147483647.0;

// Decodes the file at path into song. False (song untouched) when the file
// cannot be opened as Ogg Vorbis, has more than two channels, or states a
// length that is zero, negative or too large for one buffer. Bytes the
// decoder did not fill (a stream that ends early) are silence.
bool DecodeOggFile(const char* path, DecodedSong* song);
