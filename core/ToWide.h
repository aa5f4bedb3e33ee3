// ToWide: 8-bit text to UTF-16 for the log and the caption. Texts of up to
// 128 units (NUL included) live in a fixed buffer inside the temporary.
#pragma once

#include <memory>

class ToWide {
public:
    explicit ToWide(const char* text);
    ToWide(const ToWide&) = delete;
    ToWide& operator=(const ToWide&) = delete;

    // The converted, NUL-terminated text; null for a null input or a failed conversion.
    const char16_t* c_str() const { return result; }
    operator const char16_t*() const { return result; }

private:
    char16_t fixed[128] = {};
    std::unique_ptr<char16_t[]> heap;
    const char16_t* result = nullptr;
};
