// Small text helpers the tests share.
#pragma once

#include <string>

// Whether `text` begins with `start`.
inline bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }
