// Records behind the platform handles on X11, shared by the x11_* and glx_*
// files of this folder only. Nothing outside platform/ includes this header.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

#include "platform/platform.h"

namespace platform {

struct InstanceRecord {
    Display* display = nullptr;
    int screen = 0;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom netWmState = 0;
    Atom netWmStateFullscreen = 0;
};

struct WindowRecord {
    InstanceRecord* instance = nullptr;
    Window window = 0;          // the native window; may be re-created with another visual
    Colormap colormap = 0;
    const WindowClass* windowClass = nullptr;
    std::u16string caption;
    int x = 0, y = 0;           // requested outer position
    int clientX = 0, clientY = 0;  // client origin on the screen as last reported
    int width = 0, height = 0;  // client size as last measured
    int reportedWidth = 0, reportedHeight = 0;  // client size the last WM_SIZE carried
    bool fullScreen = false;
    bool visible = false;
};

namespace x11 {
// The process's instance record, or null while no display is open.
InstanceRecord* CurrentInstance();
// The live window record behind a native window; null for foreign or destroyed ones.
WindowRecord* FindWindow(Window native);
// True when `window` is a handle this layer created and has not destroyed.
bool IsLive(WindowHandle window);
// Calls the window's class procedure at once (a sent message).
Result SendMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam);
// Appends to the queue of posted messages, returned before window-system events.
void PostMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam);
// Forgets every posted or translated message of a window that goes away.
void DropMessagesFor(WindowHandle window);
// Win32's MAKELPARAM: low word, high word.
inline LParam MakeLParam(int low, int high) {
    return static_cast<LParam>((static_cast<uint32_t>(low) & 0xFFFF) | ((static_cast<uint32_t>(high) & 0xFFFF) << 16));
}
// Closes the display connection and forgets every class, window and message,
// so that the next GetInstance opens DISPLAY afresh (a test can then move on
// to a new X server within one process).
void CloseInstance();
// Hooks CloseInstance uses to clear the state of the other x11_* files.
void ForgetWindows();
void ForgetMessages();
void RestoreDisplayMode();
// True once after a termination signal arrived while a display mode was switched.
bool TakeStopRequest();
// Collects the X errors of the requests made during its lifetime instead of
// letting them reach the process's handler. Traps nest: each error counts
// for the innermost trap alive when it arrives, never for an outer one.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // True when the server reported an error for a request made since the trap was set.
    bool Caught();

private:
    friend int RecordXError(Display*, XErrorEvent*);
    Display* display;
    ErrorTrap* outer;
    int errors = 0;
};
// The process's X error handler: counts for the innermost trap.
int RecordXError(Display*, XErrorEvent* event);
// Runs `request` under an ErrorTrap; true when the server reported no error for it.
bool TrapErrors(Display* display, void (*request)(void*), void* context);
// True once the connection to the X server has been lost; nothing may be
// sent to it any more.
bool ConnectionLost();

// Re-creates the native window of `window` with the given visual, keeping its
// handle, position, size, caption, visibility and event mask, so that a GL
// pixel format (fixed by the visual in X) can be chosen after creation.
bool RecreateWithVisual(WindowHandle window, XVisualInfo* visual);
}  // namespace x11

}  // namespace platform
