// Desktop: what a program needs of the system around it beyond windows and
// files: opening an address in the user's browser, and random bytes for
// secrets. The Linux backends are posix_desktop.cpp and posix_random.cpp.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Asks the desktop to open `url` in its browser (xdg-open) without waiting
// for it; false with *error when the opener cannot be started.
bool OpenInBrowser(const std::string& url, std::string* error);

// Fills `size` bytes from the system's random source (meant for secrets);
// false when it cannot.
bool RandomBytes(void* data, size_t size);

}  // namespace platform
