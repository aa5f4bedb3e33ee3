// Fuzz target: Ogg Vorbis bytes through the player's song decoder, from
// memory. Checks that the block holds whole frames, is no longer than the
// stated length allows and holds what decoded.
#include <cstdint>
#include <cstdlib>

#include "audio/DecodeOggFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedSong song;
    if (!DecodeOggMemory(data, size, &song)) return 0;
    const size_t frameBytes = size_t(song.channels) * 2;
    if (song.channels < 1 || song.channels > 2 || song.rate <= 0) std::abort();
    if (song.samples.empty() || song.samples.size() % frameBytes != 0) std::abort();
    if (song.decodedBytes == 0 || song.decodedBytes > song.samples.size()) std::abort();
    if (double(song.samples.size()) > kMaxSongBytes) std::abort();
    return 0;
}
