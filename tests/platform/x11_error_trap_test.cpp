// X error traps: an error counts for the innermost trap alive when it
// arrives and never for an outer one, TrapErrors nests inside a trap like
// any other, and an error outside every trap does not end the process.
#include "tests/platform/on_xvfb.h"

namespace {

// No client made this window: any request naming it answers BadWindow.
constexpr Window kNoSuchWindow = 0x3FFFFFF;

void MapNoSuchWindow(void* display) { XMapWindow(static_cast<Display*>(display), kNoSuchWindow); }
void SyncOnly(void* display) { XSync(static_cast<Display*>(display), False); }

class ErrorTrapTest : public OnXvfb {};

}  // namespace

TEST_F(ErrorTrapTest, EachErrorCountsForTheInnermostTrapOnly) {
    StartServer(640, 480);
    Display* display = platform::GetInstance()->display;
    platform::x11::ErrorTrap outer(display);
    {
        platform::x11::ErrorTrap inner(display);
        MapNoSuchWindow(display);
        EXPECT_TRUE(inner.Caught());
    }
    EXPECT_FALSE(outer.Caught());
    EXPECT_FALSE(platform::x11::TrapErrors(display, MapNoSuchWindow, display));
    EXPECT_TRUE(platform::x11::TrapErrors(display, SyncOnly, display));
    EXPECT_FALSE(outer.Caught());
    MapNoSuchWindow(display);
    EXPECT_TRUE(outer.Caught());
    // An inner trap starts clean even when its outer one has caught something.
    platform::x11::ErrorTrap clean(display);
    EXPECT_FALSE(clean.Caught());
}

TEST_F(ErrorTrapTest, AnErrorOutsideEveryTrapIsNotFatal) {
    StartServer(640, 480);
    Display* display = platform::GetInstance()->display;
    MapNoSuchWindow(display);
    XSync(display, False);
    EXPECT_TRUE(platform::x11::TrapErrors(display, SyncOnly, display));
}
