// UTF-8 to UTF-16. Every byte converts: a byte that does not start or
// continue a well-formed UTF-8 sequence (overlong forms, surrogates and code
// points beyond U+10FFFF included) stands for its Latin-1 code point, as a
// byte would in a single-byte code page.
#include "platform/platform.h"

namespace platform {
namespace {

// Length and code point of the well-formed sequence at text[0..left); 0 when
// there is none and the byte must stand alone.
int DecodeSequence(const unsigned char* text, int left, uint32_t* codePoint) {
    unsigned char lead = text[0];
    int length;
    uint32_t cp, minimum;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (left < length) return 0;
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (text[i] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
    *codePoint = cp;
    return length;
}

}  // namespace

int MultiByteToWide(const char* text, int bytes, char16_t* out, int capacity, bool* insufficientBuffer) {
    if (insufficientBuffer) *insufficientBuffer = false;
    if (!text || bytes < 0 || capacity < 0 || (capacity > 0 && !out)) return 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    int units = 0;
    for (int i = 0; i < bytes;) {
        uint32_t cp;
        int length = DecodeSequence(in + i, bytes - i, &cp);
        if (length == 0) {
            cp = in[i];
            length = 1;
        }
        int needed = cp >= 0x10000 ? 2 : 1;
        if (capacity > 0) {
            if (units + needed > capacity) {
                if (insufficientBuffer) *insufficientBuffer = true;
                return 0;
            }
            if (needed == 2) {
                out[units] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                out[units + 1] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out[units] = static_cast<char16_t>(cp);
            }
        }
        units += needed;
        i += length;
    }
    return units;
}

}  // namespace platform
