// Time on POSIX: a monotonic millisecond tick count that wraps like a 32-bit
// counter, a sleep of whole milliseconds, and the local time in the fixed
// 25-character asctime layout (two-digit day with a leading zero).
// The tick count starts near zero when the process first reads it rather
// than at boot: the engine turns ticks into 32-bit floats, which hold whole
// milliseconds exactly only below 2^24 (4.6 hours), so counting from boot
// would quantise frame times to tens of milliseconds on a long-running machine.
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/platform.h"

namespace platform {

namespace {

uint64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace

uint32_t GetTickCount() {
    // One second in, so that the first reading is not 0.
    static const uint64_t origin = MonotonicMs() - 1000;
    return static_cast<uint32_t>(MonotonicMs() - origin);
}

void Sleep(uint32_t milliseconds) {
    timespec wanted{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    timespec left{};
    // A signal must not cut the sleep short.
    while (nanosleep(&wanted, &left) != 0 && errno == EINTR) wanted = left;
}

bool FormatAsctime(int64_t* secondsSinceEpoch, char16_t out[26]) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    time_t now = time(nullptr);
    if (secondsSinceEpoch) *secondsSinceEpoch = static_cast<int64_t>(now);
    tm local{};
    if (now == static_cast<time_t>(-1) || !localtime_r(&now, &local)) return false;
    // Only four-digit years fit the layout.
    int year = local.tm_year + 1900;
    if (year < 1000 || year > 9999 || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 ||
        local.tm_mon > 11)
        return false;
    char text[32];
    int length = std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d\n", kDays[local.tm_wday],
                               kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, year);
    if (length != 25) return false;
    for (int i = 0; i <= length; ++i) out[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    return true;
}

}  // namespace platform
