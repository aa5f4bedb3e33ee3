// The .track file format shared by the player and the track tools:
// little-endian int32 key count, then per key int32 row, float32 value and
// int8 interpolation type, packed at a stride of 9 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"

constexpr int kTrackHeaderBytes = 4;
constexpr int kTrackKeyBytes = 9;

// What a file holds, read without trusting its key count.
struct TrackFileContents {
    uint64_t fileSize = 0;
    bool hasCount = false;       // at least the 4 count bytes are there
    int32_t declaredCount = 0;   // the count as stored
    // Whole keys, in file order: at most the declared count, and never more
    // than the bytes that follow the count hold. A partial key is dropped.
    std::vector<TrackKey> keys;
};

TrackFileContents ParseTrackBytes(const std::string& bytes);

// The file bytes for these keys, in their order.
std::string EncodeTrackBytes(const std::vector<TrackKey>& keys);

bool RowsStrictlyIncreasing(const std::vector<TrackKey>& keys);

// Sorts keys by row, keeping file order among equal rows, then keeps only the
// last key of each row (a later key overrides an earlier one at that row).
void OrderKeysByRow(std::vector<TrackKey>& keys);

// "step", "linear", "smooth", "ramp"; null for any other type.
const char* InterpolationName(int32_t type);

// The file name of a track inside a folder: "_" + name + ".track".
std::string TrackFileName(const std::string& name);

// Reads what a track file's key count asks for, at most 4 + 9 x count bytes
// (fewer when the file is shorter); false when it cannot be opened. Anything
// but a regular file (a folder, a FIFO, a device) reads as no bytes.
bool ReadTrackFileBytes(const std::string& path, std::string* bytes);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* bytes);
