// RandomBytes on Linux: getrandom(2), which blocks only until the kernel's
// pool was first seeded at boot.
#include <sys/random.h>

#include <cerrno>

#include "platform/Desktop.h"

namespace platform {

bool RandomBytes(void* data, size_t size) {
    auto* out = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out += got;
        size -= size_t(got);
    }
    return true;
}

}  // namespace platform
