// Looks at and drives windows of an X server from outside, as a user would:
// finds a top-level window by its caption, reads its geometry and caption,
// types keys through the XTEST extension and asks a window to close through
// WM_DELETE_WINDOW. Needs libXtst at link time.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

class X11Probe {
public:
    // Connects to `display` (":N"); ok() is false when it cannot.
    explicit X11Probe(const std::string& display);
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    bool ok() const { return display != nullptr; }
    Display* native() const { return display; }

    // The first mapped top-level window whose caption (_NET_WM_NAME, else
    // WM_NAME) is `caption`; 0 when there is none.
    Window FindByCaption(const std::string& caption, bool mappedOnly = true);
    // The first mapped top-level window of the given WM_CLASS class name.
    Window FindByClass(const std::string& className);
    // _NET_WM_NAME as UTF-8 (or WM_NAME when that is missing).
    std::string Caption(Window window);
    std::string LegacyCaption(Window window);  // WM_NAME
    // Outer position on the screen and client size.
    bool Geometry(Window window, int* x, int* y, int* width, int* height);
    bool IsMapped(Window window);
    bool Exists(Window window);
    // True when the window carries _NET_WM_STATE_FULLSCREEN.
    bool HasFullScreenState(Window window);
    int ScreenWidth();
    int ScreenHeight();

    // Gives the window the keyboard focus, then presses and releases the key
    // of `keysym` (with Shift held when `shift`).
    bool TypeKey(Window window, unsigned long keysym, bool shift = false);
    // The window's pixels as 0xRRGGBB, rows from the top; empty when they
    // cannot be read (then width and height are 0).
    std::vector<uint32_t> Capture(Window window, int* width, int* height);

    // Sends the WM_DELETE_WINDOW protocol message, as a close box does.
    bool RequestClose(Window window);

private:
    Display* display = nullptr;
};
