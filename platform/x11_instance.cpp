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
int gLastError = 0;

int RecordXError(Display*, XErrorEvent* event) {
    gLastError = event->error_code;
    return 0;
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
    XSetErrorHandler(RecordXError);
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

bool TrapErrors(Display* display, void (*request)(void*), void* context) {
    XSync(display, False);
    gLastError = 0;
    request(context);
    XSync(display, False);
    return gLastError == 0;
}

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
