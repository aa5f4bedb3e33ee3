// JPEG table checks; see JpegTables.h.
#include "render/JpegTables.h"

namespace {

constexpr unsigned char kHuffmanTables = 0xC4;
constexpr unsigned char kQuantTables = 0xDB;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kProgressiveFrame = 0xC2;
constexpr int kMaxTableCodes = 256;

// The bytes of the stream, reading zero past its end as the decoder does.
struct Bytes {
    const unsigned char* data;
    size_t size;
    unsigned char At(size_t i) const { return i < size ? data[i] : 0; }
    size_t Length16(size_t i) const { return size_t(At(i)) << 8 | At(i + 1); }
};

bool IsRestart(unsigned char marker) { return marker >= 0xD0 && marker <= 0xD7; }
bool HasNoLength(unsigned char marker) { return IsRestart(marker) || marker == 0xD8 || marker == 0x01; }

bool IsStartOfFrame(unsigned char marker) { return marker >= 0xC0 && marker <= 0xC2; }

// Which Huffman tables (DC 0-3, AC 0-3) and quantisation tables (0-3) a
// segment has defined so far, the quantisation table the last frame header
// gave each component id, and whether that frame was progressive.
struct Defined {
    bool table[2][4] = {};
    bool quant[4] = {};
    bool progressive = false;
    int componentQuant[256];
    Defined() {
        for (int& q : componentQuant) q = -1;
    }
};

// Records the quantisation tables of the segment whose length field is at
// `at`: a precision and id byte, then 64 values of 8 or 16 bits.
void RecordQuantTables(const Bytes& in, size_t at, Defined* defined) {
    long left = long(in.Length16(at)) - 2;
    size_t p = at + 2;
    while (left > 0 && p < in.size) {
        const int precision = in.At(p) >> 4, id = in.At(p) & 15;
        if (id <= 3) defined->quant[id] = true;
        const long length = 1 + (precision ? 128 : 64);
        p += size_t(length);
        left -= length;
    }
}

// Records which quantisation table each component of the frame header at
// `at` names.
void RecordFrameComponents(const Bytes& in, size_t at, Defined* defined) {
    const size_t components = in.At(at + 7);
    for (size_t i = 0; i < components; ++i) {
        const size_t c = at + 8 + 3 * i;
        defined->componentQuant[in.At(c)] = in.At(c + 2);
    }
}

// Checks the tables of the segment whose length field is at `at` and
// records them as defined.
bool TablesFit(const Bytes& in, size_t at, Defined* defined) {
    long left = long(in.Length16(at)) - 2;
    size_t p = at + 2;
    while (left > 0 && p < in.size) {
        const int kind = in.At(p) >> 4, id = in.At(p) & 15;
        if (kind <= 1 && id <= 3) defined->table[kind][id] = true;
        int codes = 0;
        for (int i = 0; i < 16; ++i) codes += in.At(p + 1 + size_t(i));
        if (codes > kMaxTableCodes) return false;
        p += 17 + size_t(codes);
        left -= 17 + codes;
    }
    return true;
}

// False when the scan whose header's length field is at `at` uses a table
// no segment defined: stb_image 2.27 would decode with the uninitialised
// table (and index past a Huffman table's symbols). A progressive scan from
// the first coefficient uses DC tables, one reaching past it AC tables; a
// baseline scan uses both whatever spectrum it states, as the decoder
// reads all 64 coefficients there.
bool ScanTablesDefined(const Bytes& in, size_t at, const Defined& defined) {
    const size_t components = in.At(at + 2);
    const size_t spectrum = at + 3 + 2 * components;
    const bool usesDc = !defined.progressive || in.At(spectrum) == 0;
    const bool usesAc = !defined.progressive || in.At(spectrum + 1) > 0;
    for (size_t i = 0; i < components; ++i) {
        const unsigned char tables = in.At(at + 4 + 2 * i);
        const int dc = tables >> 4, ac = tables & 15;
        if (usesDc && (dc > 3 || !defined.table[0][dc])) return false;
        if (usesAc && (ac > 3 || !defined.table[1][ac])) return false;
        // Dequantising with a table never read would use uninitialised
        // memory (and overflow on it).
        const int quant = defined.componentQuant[in.At(at + 3 + 2 * i)];
        if (quant >= 0 && (quant > 3 || !defined.quant[quant])) return false;
    }
    return true;
}

}  // namespace

namespace {
// Where the data after the start-of-image marker begins (fill FFs may come
// before it, as the decoder allows), or 0 for a stream that is no JPEG.
size_t AfterStartOfImage(const unsigned char* bytes, size_t size) {
    if (!bytes || size < 2 || bytes[0] != 0xFF) return 0;
    size_t p = 1;
    while (p < size && bytes[p] == 0xFF) ++p;
    return p < size && bytes[p] == 0xD8 ? p + 1 : 0;
}
}  // namespace

bool LooksLikeJpeg(const unsigned char* bytes, size_t size) { return AfterStartOfImage(bytes, size) != 0; }

bool JpegTablesSound(const unsigned char* bytes, size_t size) {
    size_t p = AfterStartOfImage(bytes, size);
    if (p == 0) return true;
    const Bytes in{bytes, size};
    Defined defined;
    bool inScan = false;
    while (p < size) {
        // The next marker: an FF (after junk, or after entropy-coded data),
        // fill FFs, then a byte that is neither a stuffed zero nor, inside a
        // scan, a restart.
        if (in.At(p) != 0xFF) {
            ++p;
            continue;
        }
        while (p < size && in.At(p) == 0xFF) ++p;
        if (p >= size) break;
        const unsigned char marker = in.At(p++);
        if (inScan && (marker == 0x00 || IsRestart(marker))) continue;
        if (!inScan && marker == 0x00) continue;
        inScan = false;
        if (marker == kEndOfImage) break;
        if (HasNoLength(marker)) continue;
        if (marker == kHuffmanTables && !TablesFit(in, p, &defined)) return false;
        if (marker == kQuantTables) RecordQuantTables(in, p, &defined);
        if (IsStartOfFrame(marker)) {
            RecordFrameComponents(in, p, &defined);
            defined.progressive = marker == kProgressiveFrame;
        }
        if (marker == kStartOfScan && !ScanTablesDefined(in, p, defined)) return false;
        p += in.Length16(p);
        if (marker == kStartOfScan) inScan = true;
    }
    return true;
}
