// Track files for tests, written where the player looks for them
// (./sync/_<name>.track below a folder): from keys through the real encoder,
// or from bytes built piece by piece, independently of it, for files the
// encoder never makes (a damaged count, a cut key, an odd type byte).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tests/support/scratch_dir.h"

namespace trackbytes {

// Four little-endian bytes.
std::string I32(int32_t value);
// One packed key: row, the value's bits, the type byte.
std::string Key(int32_t row, float value, int8_t type);

}  // namespace trackbytes

// Writes sync/_<name>.track below the folder holding exactly `bytes`.
void WriteTrackBytes(const ScratchDir& dir, const std::string& name, const std::string& bytes);
// Writes sync/_<name>.track below the folder holding these keys, in order.
void WriteTrackKeys(const ScratchDir& dir, const std::string& name, const std::vector<TrackKey>& keys);
