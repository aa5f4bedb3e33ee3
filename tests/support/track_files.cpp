// Track files for tests; see track_files.h.
#include "tests/support/track_files.h"

#include <cstring>

#include "sync/TrackFile.h"

namespace trackbytes {

std::string I32(int32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(char((uint32_t(value) >> (8 * i)) & 0xFF));
    return out;
}

std::string Key(int32_t row, float value, int8_t type) {
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    return I32(row) + I32(bits) + std::string(1, char(type));
}

}  // namespace trackbytes

void WriteTrackBytes(const ScratchDir& dir, const std::string& name, const std::string& bytes) {
    dir.Write("sync/" + TrackFileName(name), bytes);
}

void WriteTrackKeys(const ScratchDir& dir, const std::string& name, const std::vector<TrackKey>& keys) {
    WriteTrackBytes(dir, name, EncodeTrackBytes(keys));
}
