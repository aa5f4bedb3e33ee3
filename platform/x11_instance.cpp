// The process token on X11: one display connection, opened on first use from
// DISPLAY, with the atoms the window code needs. X errors are trapped and
// recorded rather than ending the process; a lost connection still ends it.
#include <cstdio>
#include <cstdlib>

#include "platform/x11_internal.h"

namespace platform {
namespace {

InstanceRecord gInstance;
bool gReportedNoDisplay = false;
x11::ErrorTrap* gInnermostTrap = nullptr;
bool gConnectionLost = false;

// Xlib ends the process once this returns, so it ends it itself, once: an
// exit hook that touches the dead connection again (the display mode's
// restore checks ConnectionLost first) lands in the second branch.
int EndOnLostConnection(Display*) {
    if (gConnectionLost) std::_Exit(1);
    gConnectionLost = true;
    std::fprintf(stderr, "tessel: lost the connection to the X display\n");
    std::exit(1);
}

}  // namespace

Instance GetInstance() {
    if (gInstance.display) return &gInstance;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        if (!gReportedNoDisplay) {
            const char* name = std::getenv("DISPLAY");
            std::fprintf(stderr, "tessel: cannot open the X display %s\n", name ? name : "(DISPLAY is not set)");
            gReportedNoDisplay = true;
        }
        return nullptr;
    }
    XSetErrorHandler(x11::RecordXError);
    XSetIOErrorHandler(EndOnLostConnection);
    gInstance.display = display;
    gInstance.screen = DefaultScreen(display);
    gInstance.wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    gInstance.wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    gInstance.netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    gInstance.utf8String = XInternAtom(display, "UTF8_STRING", False);
    gInstance.netWmState = XInternAtom(display, "_NET_WM_STATE", False);
    gInstance.netWmStateFullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    return &gInstance;
}

namespace x11 {

InstanceRecord* CurrentInstance() { return gInstance.display ? &gInstance : nullptr; }

// An error outside any trap is dropped: the calls' own results tell what failed.
int RecordXError(Display*, XErrorEvent*) {
    if (gInnermostTrap) ++gInnermostTrap->errors;
    return 0;
}

// Errors of earlier requests are delivered before the trap is set.
ErrorTrap::ErrorTrap(Display* display) : display(display), outer(gInnermostTrap) {
    XSync(display, False);
    gInnermostTrap = this;
}

ErrorTrap::~ErrorTrap() {
    XSync(display, False);
    gInnermostTrap = outer;
}

bool ErrorTrap::Caught() {
    XSync(display, False);
    return errors > 0;
}

bool TrapErrors(Display* display, void (*request)(void*), void* context) {
    ErrorTrap trap(display);
    request(context);
    return !trap.Caught();
}

bool ConnectionLost() { return gConnectionLost; }

void CloseInstance() {
    if (!gInstance.display) return;
    RestoreDisplayMode();
    ForgetMessages();
    ForgetWindows();
    XCloseDisplay(gInstance.display);
    gInstance = InstanceRecord{};
    gReportedNoDisplay = false;
}

}  // namespace x11
}  // namespace platform
