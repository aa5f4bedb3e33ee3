// ToWide: 8-bit text to NUL-terminated UTF-16 through the platform's
// conversion, in a fixed buffer for short texts and on the heap otherwise.
// Texts too long for the conversion's int count, or whose buffer cannot be
// had, give a null result, which the logger writes as nothing.
#include "core/ToWide.h"

#include <climits>
#include <cstring>
#include <new>

#include "platform/platform.h"

ToWide::ToWide(const char* text) {
    if (!text) return;
    size_t length = std::strlen(text);
    if (length >= static_cast<size_t>(INT_MAX)) return;
    int n = static_cast<int>(length) + 1;  // the NUL converts too

    // A buffer of `units`: the fixed one when it fits, else a zero-filled heap one.
    auto buffer = [this](int units) -> char16_t* {
        if (units <= 128) {
            heap.reset();
            return fixed;
        }
        heap.reset(new (std::nothrow) char16_t[units]());
        return heap.get();
    };

    char16_t* out = buffer(n);
    if (!out) return;
    bool insufficient = false;
    int written = platform::MultiByteToWide(text, n, out, n, &insufficient);
    if (written == 0 && insufficient) {
        int required = platform::MultiByteToWide(text, n, nullptr, 0, nullptr);
        out = required > 0 ? buffer(required) : nullptr;
        if (!out) return;
        written = platform::MultiByteToWide(text, n, out, required, nullptr);
    }
    if (written > 0) result = out;
}
