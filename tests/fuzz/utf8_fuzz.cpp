// Fuzz target: bytes through the UTF-8 to UTF-16 conversion the log and the
// caption use. Checks that counting and converting agree, that a buffer one
// unit short is reported as too small, that the output is well-formed UTF-16
// that decodes back to the input where the input was well-formed, and that
// ToWide gives the same text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/ToWide.h"
#include "platform/platform.h"

namespace {

// The UTF-8 form of a code point.
void AppendUtf8(uint32_t cp, std::string* out) {
    if (cp < 0x80) {
        *out += char(cp);
    } else if (cp < 0x800) {
        *out += char(0xC0 | (cp >> 6));
        *out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += char(0xE0 | (cp >> 12));
        *out += char(0x80 | ((cp >> 6) & 0x3F));
        *out += char(0x80 | (cp & 0x3F));
    } else {
        *out += char(0xF0 | (cp >> 18));
        *out += char(0x80 | ((cp >> 12) & 0x3F));
        *out += char(0x80 | ((cp >> 6) & 0x3F));
        *out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const char* text = reinterpret_cast<const char*>(data);
    const int bytes = int(size);
    const int units = platform::MultiByteToWide(text, bytes, nullptr, 0, nullptr);
    if (units < 0 || units > bytes || (bytes > 0 && units == 0)) std::abort();
    std::vector<char16_t> out(size_t(units) + 1, u'\xFFFF');
    bool insufficient = true;
    if (platform::MultiByteToWide(text, bytes, out.data(), units, &insufficient) != units || insufficient)
        std::abort();
    if (out[size_t(units)] != u'\xFFFF') std::abort();  // nothing written past the count
    // A capacity of 0 asks for the count, so the check starts at two units.
    if (units > 1) {
        std::vector<char16_t> small(static_cast<size_t>(units));
        if (platform::MultiByteToWide(text, bytes, small.data(), units - 1, &insufficient) != 0 || !insufficient)
            std::abort();
    }

    // Well-formed UTF-16, and back to UTF-8: the input when it was valid.
    std::string back;
    for (int i = 0; i < units; ++i) {
        uint32_t u = out[size_t(i)];
        if (u >= 0xDC00 && u < 0xE000) std::abort();
        if (u >= 0xD800 && u < 0xDC00) {
            if (i + 1 >= units || out[size_t(i) + 1] < 0xDC00 || out[size_t(i) + 1] >= 0xE000) std::abort();
            u = 0x10000 + ((u - 0xD800) << 10) + (uint32_t(out[size_t(++i)]) - 0xDC00);
        }
        AppendUtf8(u, &back);
    }
    const bool allAscii = std::all_of(data, data + size, [](uint8_t b) { return b < 0x80; });
    if (allAscii && back != std::string(text, size)) std::abort();
    // A valid input reads back unchanged; so every byte that stood for
    // itself was not part of a valid sequence.
    if (back == std::string(text, size)) {
        int again = platform::MultiByteToWide(back.data(), int(back.size()), nullptr, 0, nullptr);
        if (again != units) std::abort();
    }

    // ToWide of the text up to its first NUL.
    const std::string terminated(text, strnlen(text, size));
    ToWide wide(terminated.c_str());
    if (!wide.c_str()) std::abort();
    const int expected = platform::MultiByteToWide(terminated.c_str(), int(terminated.size()) + 1, nullptr, 0, nullptr);
    std::vector<char16_t> direct(static_cast<size_t>(expected));
    platform::MultiByteToWide(terminated.c_str(), int(terminated.size()) + 1, direct.data(), expected, nullptr);
    if (std::memcmp(direct.data(), wide.c_str(), direct.size() * sizeof(char16_t)) != 0) std::abort();
    return 0;
}
