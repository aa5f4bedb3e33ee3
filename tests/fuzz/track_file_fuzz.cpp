// Fuzz target: track file bytes through the player's reading (parse and
// mend), then the track evaluated at rows taken from the input's tail and at
// the extremes. Checks what the player relies on: the key count matches the
// keys and rows strictly increase.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "sync/SyncSystem.h"
#include "sync/TrackFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SyncTrack track;
    ApplyTrackBytes(&track, bytes, "fuzz.track");
    if (track.numKeys != int32_t(track.keys.size())) std::abort();
    if (!RowsStrictlyIncreasing(track.keys)) std::abort();

    const double extremes[] = {0.0,
                               -1.0,
                               0.5,
                               2147483647.0,
                               -2147483648.0,
                               1e300,
                               -1e300,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    for (double row : extremes) GetValue(&track, row);
    // Every 8 bytes from the end are one more row to read the track at.
    for (size_t at = size; at >= 8 && size - at < 64 * 8; at -= 8) {
        double row;
        std::memcpy(&row, data + at - 8, 8);
        GetValue(&track, row);
        GetValue(&track, std::floor(row) + 0.25);
    }
    for (const TrackKey& key : track.keys) {
        FindKey(&track, key.row);
        GetValue(&track, double(key.row));
    }
    return 0;
}
