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
    int width = 0, height = 0;  // current client size
    bool fullScreen = false;
    bool visible = false;
};

namespace x11 {
// Re-creates the native window of `window` with the given visual, keeping its
// handle, position, size, caption, visibility and event mask, so that a GL
// pixel format (fixed by the visual in X) can be chosen after creation.
bool RecreateWithVisual(WindowHandle window, XVisualInfo* visual);
}  // namespace x11

}  // namespace platform
