// Time: the tick count moves forward across a sleep, and the timestamp text
// is the 25-character asctime layout of the local time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace {

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

// The expected text for `seconds` in the current zone, built independently.
std::string Expected(int64_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&t, &local);
    char text[64];
    strftime(text, sizeof text, "%a %b %d %H:%M:%S %Y\n", &local);
    return text;
}

class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = getenv("TZ");
        had = old != nullptr;
        if (had) previous = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (had) setenv("TZ", previous.c_str(), 1); else unsetenv("TZ");
        tzset();
    }

private:
    bool had = false;
    std::string previous;
};

}  // namespace

TEST(PosixTime, TickCountAdvancesAcrossASleep) {
    uint32_t before = platform::GetTickCount();
    platform::Sleep(20);
    uint32_t after = platform::GetTickCount();
    // Both readings are truncated to whole milliseconds.
    EXPECT_GE(static_cast<uint32_t>(after - before), 19u);
    platform::Sleep(0);
    // Counted from the process's first reading, so it stays where a float holds
    // whole milliseconds exactly, however long the machine has been up.
    EXPECT_LT(after, 1u << 24);
    EXPECT_EQ(static_cast<uint32_t>(static_cast<float>(after)), after);
}

TEST(PosixTime, AsctimeLayoutInTheLocalZone) {
    for (const char* zone : {"UTC0", "XYZ-5:30", "ABC+11"}) {
        ZoneGuard guard(zone);
        char16_t text[26];
        int64_t seconds = 0;
        ASSERT_TRUE(platform::FormatAsctime(&seconds, text));
        std::string got = Narrow(text);
        EXPECT_EQ(got.size(), 25u);
        std::string expected = Expected(seconds);
        // The clock may tick between the two readings; compare the same second.
        EXPECT_EQ(got, expected) << zone;
        EXPECT_EQ(got.back(), '\n');
    }
}
