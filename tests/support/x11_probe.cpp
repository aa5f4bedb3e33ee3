// The X11 probe: plain Xlib queries plus XTEST key events and a synthetic
// WM_DELETE_WINDOW message; X errors are ignored (a window may vanish).
#include "tests/support/x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <vector>

namespace {

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::string ReadStringProperty(Display* display, Window window, Atom property) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (format == 8) text.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return text;
}

bool HasProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format, &count, &after, &data);
    if (data) XFree(data);
    return type != None;
}

std::vector<Window> TopLevels(Display* display) {
    Window root = DefaultRootWindow(display), parent, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children) XFree(children);
    }
    return result;
}

}  // namespace

X11Probe::X11Probe(const std::string& name) {
    display = XOpenDisplay(name.c_str());
    if (display) XSetErrorHandler(IgnoreErrors);
}

X11Probe::~X11Probe() {
    if (display) XCloseDisplay(display);
}

std::string X11Probe::Caption(Window window) {
    Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    if (HasProperty(display, window, netWmName)) return ReadStringProperty(display, window, netWmName);
    return LegacyCaption(window);
}

std::string X11Probe::LegacyCaption(Window window) { return ReadStringProperty(display, window, XA_WM_NAME); }

bool X11Probe::IsMapped(Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

bool X11Probe::Exists(Window window) {
    XWindowAttributes attributes;
    XSync(display, False);
    return XGetWindowAttributes(display, window, &attributes) != 0;
}

Window X11Probe::FindByCaption(const std::string& caption, bool mappedOnly) {
    XSync(display, False);
    for (Window window : TopLevels(display))
        if ((!mappedOnly || IsMapped(window)) && Caption(window) == caption) return window;
    return 0;
}

Window X11Probe::FindByClass(const std::string& className) {
    XSync(display, False);
    for (Window window : TopLevels(display)) {
        XClassHint hint{};
        if (!IsMapped(window) || !XGetClassHint(display, window, &hint)) continue;
        bool match = hint.res_class && className == hint.res_class;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
        if (match) return window;
    }
    return 0;
}

bool X11Probe::Geometry(Window window, int* x, int* y, int* width, int* height) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    Window child;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, x, y, &child)) return false;
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

std::vector<uint32_t> X11Probe::Capture(Window window, int* width, int* height) {
    std::vector<uint32_t> pixels;
    *width = *height = 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.width <= 0 || attributes.height <= 0)
        return pixels;
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.resize(static_cast<size_t>(attributes.width) * attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
            pixels[static_cast<size_t>(y) * attributes.width + x] =
                static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    *width = attributes.width;
    *height = attributes.height;
    return pixels;
}

bool X11Probe::HasFullScreenState(Window window) {
    Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        for (unsigned long i = 0; i < count; ++i)
            if (reinterpret_cast<Atom*>(data)[i] == fullScreen) found = true;
        XFree(data);
    }
    return found;
}

int X11Probe::ScreenWidth() {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, DefaultRootWindow(display), &attributes);
    return attributes.width;
}

int X11Probe::ScreenHeight() {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, DefaultRootWindow(display), &attributes);
    return attributes.height;
}

bool X11Probe::TypeKey(Window window, unsigned long keysym, bool shift) {
    KeyCode key = XKeysymToKeycode(display, keysym);
    KeyCode shiftKey = XKeysymToKeycode(display, XK_Shift_L);
    if (!key) return false;
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    if (shift) XTestFakeKeyEvent(display, shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shiftKey, False, CurrentTime);
    XSync(display, False);
    return true;
}

bool X11Probe::RequestClose(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0;
}
