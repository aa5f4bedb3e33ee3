// Reading and writing the packed little-endian .track format, independent of
// the host's byte order and alignment.
#include "sync/TrackFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/FileRead.h"

namespace {

uint32_t LoadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreU32(uint32_t v, std::string& out) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

TrackFileContents ParseTrackBytes(const std::string& bytes) {
    TrackFileContents out;
    out.fileSize = bytes.size();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < size_t(kTrackHeaderBytes)) return out;
    out.hasCount = true;
    out.declaredCount = int32_t(LoadU32(data));
    // The file length, not the stored count, bounds how much is taken.
    uint64_t available = (bytes.size() - kTrackHeaderBytes) / kTrackKeyBytes;
    uint64_t wanted = out.declaredCount > 0 ? uint64_t(out.declaredCount) : 0;
    uint64_t count = std::min(available, wanted);
    out.keys.resize(count);
    for (uint64_t i = 0; i < count; ++i) {
        const unsigned char* p = data + kTrackHeaderBytes + i * kTrackKeyBytes;
        TrackKey& key = out.keys[i];
        key.row = int32_t(LoadU32(p));
        uint32_t bits = LoadU32(p + 4);
        std::memcpy(&key.value, &bits, 4);
        key.type = int32_t(int8_t(p[8]));
    }
    return out;
}

std::string EncodeTrackBytes(const std::vector<TrackKey>& keys) {
    std::string out;
    out.reserve(kTrackHeaderBytes + keys.size() * kTrackKeyBytes);
    StoreU32(uint32_t(keys.size()), out);
    for (const TrackKey& key : keys) {
        StoreU32(uint32_t(key.row), out);
        uint32_t bits;
        std::memcpy(&bits, &key.value, 4);
        StoreU32(bits, out);
        out.push_back(char(int8_t(key.type)));
    }
    return out;
}

bool RowsStrictlyIncreasing(const std::vector<TrackKey>& keys) {
    for (size_t i = 1; i < keys.size(); ++i)
        if (keys[i].row <= keys[i - 1].row) return false;
    return true;
}

void OrderKeysByRow(std::vector<TrackKey>& keys) {
    std::stable_sort(keys.begin(), keys.end(),
                     [](const TrackKey& a, const TrackKey& b) { return a.row < b.row; });
    std::vector<TrackKey> kept;
    kept.reserve(keys.size());
    for (const TrackKey& key : keys) {
        if (!kept.empty() && kept.back().row == key.row)
            kept.back() = key;
        else
            kept.push_back(key);
    }
    keys.swap(kept);
}

const char* InterpolationName(int32_t type) {
    switch (type) {
        case Step: return "step";
        case Linear: return "linear";
        case Smooth: return "smooth";
        case Ramp: return "ramp";
        default: return nullptr;
    }
}

std::string TrackFileName(const std::string& name) { return "_" + name + ".track"; }

// Plain stdio: a stream iterator throws when the read itself fails (a
// directory, say), where this keeps what was read before the failure.
bool ReadWholeFile(const std::string& path, std::string* bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes->append(chunk, got);
    std::fclose(file);
    return true;
}

bool ReadTrackFileBytes(const std::string& path, std::string* bytes) {
    bytes->clear();
    platform::RegularFileReader file(path.c_str());
    if (!file.Opened()) return false;
    // The count first, then no more keys than it asks for and the file holds.
    const uint64_t size = file.Size();
    file.Append(std::min<uint64_t>(size, kTrackHeaderBytes), bytes);
    if (bytes->size() == size_t(kTrackHeaderBytes)) {
        const int32_t count = ParseTrackBytes(*bytes).declaredCount;
        const uint64_t wanted = kTrackHeaderBytes + uint64_t(count > 0 ? count : 0) * kTrackKeyBytes;
        // Room the bytes cannot have reads as the count alone: too few keys.
        file.Append(std::min(size, wanted) - kTrackHeaderBytes, bytes);
    }
    return true;
}
