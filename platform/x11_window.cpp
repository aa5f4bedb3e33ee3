// Windows on X11: the one class record and its procedure, creation and
// destruction with their messages sent synchronously, captions (UTF-8
// _NET_WM_NAME plus Latin-1 WM_NAME), sizes and positions, the blank cursor,
// and re-creating a window with another visual for a GL pixel format.
// X sizes a window's inside: the client area equals the size asked for.
#include <X11/Xatom.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11_internal.h"

namespace platform {
namespace {

// X window sizes are 16-bit; a size of 0 is an error.
constexpr int kMaxWindowSide = 32767;

struct ClassEntry {
    WindowClass record;
    std::u16string name;
};

std::vector<std::unique_ptr<ClassEntry>> gClasses;
std::map<Window, WindowRecord*> gWindows;
// The layer owns every live record: what is still open when the process
// ends (the hidden bootstrap window, say) is freed with this map.
std::map<WindowRecord*, std::unique_ptr<WindowRecord>> gLive;
bool gCursorHidden = false;
Cursor gBlankCursor = 0;

const ClassEntry* FindClass(const char16_t* name) {
    if (!name) return nullptr;
    for (const auto& entry : gClasses)
        if (entry->name == name) return entry.get();
    return nullptr;
}

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// WM_NAME is ICCCM STRING, i.e. Latin-1; anything beyond it shows as '?'.
std::string ToLatin1(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) out += unit < 0x100 ? static_cast<char>(unit) : '?';
    return out;
}

void SetNativeCaption(WindowRecord* record) {
    Display* display = record->instance->display;
    std::string utf8 = ToUtf8(record->caption);
    XChangeProperty(display, record->window, record->instance->netWmName, record->instance->utf8String, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    std::string latin1 = ToLatin1(record->caption);
    XChangeProperty(display, record->window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
}

Cursor BlankCursor(Display* display, Window window) {
    if (gBlankCursor) return gBlankCursor;
    char bits[1] = {0};
    Pixmap pixmap = XCreateBitmapFromData(display, window, bits, 1, 1);
    XColor black{};
    gBlankCursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(display, pixmap);
    return gBlankCursor;
}

// Full screen: no decorations (Motif hints) and the EWMH full-screen state,
// which a window manager reads when the window is mapped.
void SetFullScreenHints(WindowRecord* record) {
    Display* display = record->instance->display;
    struct {
        unsigned long flags, functions, decorations;
        long inputMode;
        unsigned long status;
    } motif = {2, 0, 0, 0, 0};
    Atom motifAtom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, record->window, motifAtom, motifAtom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&motif), 5);
    Atom state = record->instance->netWmStateFullscreen;
    XChangeProperty(display, record->window, record->instance->netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&state), 1);
}

struct CreateRequest {
    WindowRecord* record;
    Visual* visual;
    int depth;
    Window result;
    Colormap colormap;
};

void CreateNativeRequest(void* context) {
    auto* request = static_cast<CreateRequest*>(context);
    WindowRecord* record = request->record;
    Display* display = record->instance->display;
    Window root = RootWindow(display, record->instance->screen);
    XSetWindowAttributes attributes{};
    attributes.event_mask = StructureNotifyMask | KeyPressMask | KeyReleaseMask | FocusChangeMask | ExposureMask;
    attributes.border_pixel = 0;
    attributes.background_pixel = BlackPixel(display, record->instance->screen);
    request->colormap = XCreateColormap(display, root, request->visual, AllocNone);
    attributes.colormap = request->colormap;
    unsigned long mask = CWEventMask | CWBorderPixel | CWBackPixel | CWColormap;
    if (gCursorHidden) {
        attributes.cursor = BlankCursor(display, root);
        mask |= CWCursor;
    }
    request->result = XCreateWindow(display, root, record->x, record->y, record->width, record->height, 0,
                                    request->depth, InputOutput, request->visual, mask, &attributes);
}

// Creates the native window for `record` with the given visual; the record's
// position, size, caption and mode decide the rest. False on any X error.
bool CreateNative(WindowRecord* record, Visual* visual, int depth) {
    Display* display = record->instance->display;
    CreateRequest request{record, visual, depth, 0, 0};
    bool ok = x11::TrapErrors(display, CreateNativeRequest, &request);
    if (!ok || !request.result) {
        if (request.result) XDestroyWindow(display, request.result);
        if (request.colormap) XFreeColormap(display, request.colormap);
        return false;
    }
    record->window = request.result;
    record->colormap = request.colormap;
    Atom protocols[] = {record->instance->wmDeleteWindow};
    XSetWMProtocols(display, record->window, protocols, 1);

    // Ask the window manager to keep the position and size we computed.
    XSizeHints* sizeHints = XAllocSizeHints();
    sizeHints->flags = USPosition | PPosition | USSize | PSize;
    sizeHints->x = record->x;
    sizeHints->y = record->y;
    sizeHints->width = record->width;
    sizeHints->height = record->height;
    XSetWMNormalHints(display, record->window, sizeHints);
    XFree(sizeHints);
    XWMHints* wmHints = XAllocWMHints();
    wmHints->flags = InputHint | StateHint;
    wmHints->input = True;
    wmHints->initial_state = NormalState;
    XSetWMHints(display, record->window, wmHints);
    XFree(wmHints);
    std::string className = ToUtf8(record->windowClass->className ? record->windowClass->className : u"");
    XClassHint classHint{const_cast<char*>("tessel"), const_cast<char*>(className.c_str())};
    XSetClassHint(display, record->window, &classHint);

    SetNativeCaption(record);
    if (record->fullScreen) SetFullScreenHints(record);
    return true;
}

void ReleaseNative(WindowRecord* record) {
    Display* display = record->instance->display;
    gWindows.erase(record->window);
    if (record->window) XDestroyWindow(display, record->window);
    if (record->colormap) XFreeColormap(display, record->colormap);
    record->window = 0;
    record->colormap = 0;
}

// Where the client area's origin lies on the screen.
bool ClientOrigin(WindowRecord* record, int* x, int* y) {
    Display* display = record->instance->display;
    Window child;
    return XTranslateCoordinates(display, record->window, RootWindow(display, record->instance->screen), 0, 0,
                                 x, y, &child);
}

// The window manager's frame around the client area (left, right, top, bottom);
// zeros when there is no window manager.
void FrameExtents(WindowRecord* record, long extents[4]) {
    extents[0] = extents[1] = extents[2] = extents[3] = 0;
    Display* display = record->instance->display;
    Atom atom = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    if (atom == None) return;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, record->window, atom, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        if (format == 32 && count == 4)
            for (int i = 0; i < 4; ++i) extents[i] = reinterpret_cast<long*>(data)[i];
        XFree(data);
    }
}

int RootSide(bool width) {
    InstanceRecord* instance = GetInstance();
    if (!instance) return 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(instance->display, RootWindow(instance->display, instance->screen), &attributes))
        return 0;
    return width ? attributes.width : attributes.height;
}

}  // namespace

bool RegisterClass(const WindowClass& windowClass) {
    if (!windowClass.className || FindClass(windowClass.className)) return false;
    auto entry = std::make_unique<ClassEntry>();
    entry->name = windowClass.className;
    entry->record = windowClass;
    entry->record.className = entry->name.c_str();
    gClasses.push_back(std::move(entry));
    return true;
}

WindowHandle CreateWindow(uint32_t exStyle, const char16_t* className, const char16_t* caption, uint32_t style,
                          int x, int y, int width, int height, Instance instance) {
    const ClassEntry* windowClass = FindClass(className);
    if (!instance || !instance->display || !windowClass) return nullptr;
    auto record = std::make_unique<WindowRecord>();
    record->instance = instance;
    record->windowClass = &windowClass->record;
    record->caption = caption ? caption : u"";
    record->x = x;
    record->y = y;
    record->width = std::clamp(width, 1, kMaxWindowSide);
    record->height = std::clamp(height, 1, kMaxWindowSide);
    record->fullScreen = (style & WS_POPUP) != 0;
    Display* display = instance->display;
    if (!CreateNative(record.get(), DefaultVisual(display, instance->screen), DefaultDepth(display, instance->screen)))
        return nullptr;
    ClientOrigin(record.get(), &record->clientX, &record->clientY);
    WindowRecord* handle = record.get();
    gWindows[handle->window] = handle;
    gLive.emplace(handle, std::move(record));
    // Creation tells the procedure the window's size, then its position.
    handle->reportedWidth = handle->width;
    handle->reportedHeight = handle->height;
    x11::SendMessage(handle, WM_SIZE, 0, x11::MakeLParam(handle->width, handle->height));
    if (x11::IsLive(handle)) x11::SendMessage(handle, WM_MOVE, 0, x11::MakeLParam(handle->clientX, handle->clientY));
    return x11::IsLive(handle) ? handle : nullptr;
}

void ShowWindow(WindowHandle window, int command) {
    if (!x11::IsLive(window)) return;
    Display* display = window->instance->display;
    if (command == SW_HIDE) {
        XUnmapWindow(display, window->window);
        window->visible = false;
    } else {
        XMapRaised(display, window->window);
        window->visible = true;
    }
    XSync(display, False);
}

bool DestroyWindow(WindowHandle window) {
    if (!x11::IsLive(window)) return false;
    x11::SendMessage(window, WM_DESTROY, 0, 0);
    if (!x11::IsLive(window)) return true;  // the procedure destroyed it already
    std::unique_ptr<WindowRecord> record = std::move(gLive[window]);
    gLive.erase(window);
    x11::DropMessagesFor(window);
    ReleaseNative(window);
    XSync(window->instance->display, False);
    return true;
}

int GetWindowTextLength(WindowHandle window) {
    return x11::IsLive(window) ? static_cast<int>(window->caption.size()) : 0;
}

int GetWindowText(WindowHandle window, char16_t* text, int maxCount) {
    if (!text || maxCount <= 0) return 0;
    if (!x11::IsLive(window)) {
        text[0] = 0;
        return 0;
    }
    int count = std::min(static_cast<int>(window->caption.size()), maxCount - 1);
    std::copy_n(window->caption.data(), count, text);
    text[count] = 0;
    return count;
}

bool SetWindowText(WindowHandle window, const char16_t* text) {
    if (!x11::IsLive(window)) return false;
    window->caption = text ? text : u"";
    SetNativeCaption(window);
    // Synchronous, as callers expect of a caption change.
    XSync(window->instance->display, False);
    x11::SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LParam>(window->caption.c_str()));
    return true;
}

bool GetClientRect(WindowHandle window, Rect* rect) {
    if (!rect || !x11::IsLive(window)) return false;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(window->instance->display, window->window, &attributes)) {
        window->width = attributes.width;
        window->height = attributes.height;
    }
    *rect = Rect{0, 0, window->width, window->height};
    return true;
}

bool GetWindowPosition(WindowHandle window, int* x, int* y) {
    if (!x || !y || !x11::IsLive(window)) return false;
    if (!ClientOrigin(window, x, y)) return false;
    long extents[4];
    FrameExtents(window, extents);
    *x -= static_cast<int>(extents[0]);
    *y -= static_cast<int>(extents[2]);
    return true;
}

int GetScreenWidth() { return RootSide(true); }
int GetScreenHeight() { return RootSide(false); }

void HideCursor() {
    gCursorHidden = true;
    InstanceRecord* instance = x11::CurrentInstance();
    if (!instance) return;
    for (const auto& [record, owned] : gLive)
        XDefineCursor(instance->display, record->window, BlankCursor(instance->display, record->window));
    XFlush(instance->display);
}

namespace x11 {

WindowRecord* FindWindow(Window native) {
    auto found = gWindows.find(native);
    return found == gWindows.end() ? nullptr : found->second;
}

bool IsLive(WindowHandle window) { return window && gLive.count(window) != 0; }

Result SendMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam) {
    if (!IsLive(window) || !window->windowClass->procedure) return 0;
    return window->windowClass->procedure(window, message, wParam, lParam);
}

bool RecreateWithVisual(WindowHandle window, XVisualInfo* visual) {
    if (!IsLive(window) || !visual) return false;
    Display* display = window->instance->display;
    Window oldWindow = window->window;
    Colormap oldColormap = window->colormap;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, oldWindow, &attributes)) {
        // Keep wherever the window is now and whatever size it has now.
        int x, y;
        if (GetWindowPosition(window, &x, &y)) {
            window->x = x;
            window->y = y;
        }
        window->width = attributes.width;
        window->height = attributes.height;
    }
    if (!CreateNative(window, visual->visual, visual->depth)) {
        window->window = oldWindow;
        window->colormap = oldColormap;
        return false;
    }
    if (gCursorHidden) XDefineCursor(display, window->window, BlankCursor(display, window->window));
    gWindows.erase(oldWindow);
    gWindows[window->window] = window;
    // Show the new window before the old one goes, so nothing flickers.
    if (window->visible) XMapRaised(display, window->window);
    XDestroyWindow(display, oldWindow);
    XFreeColormap(display, oldColormap);
    XSync(display, False);
    ClientOrigin(window, &window->clientX, &window->clientY);
    return true;
}

void ForgetWindows() {
    InstanceRecord* instance = CurrentInstance();
    if (instance)
        for (const auto& [record, owned] : gLive) ReleaseNative(record);
    gLive.clear();
    gWindows.clear();
    gClasses.clear();
    if (instance && gBlankCursor) XFreeCursor(instance->display, gBlankCursor);
    gBlankCursor = 0;
    gCursorHidden = false;
}

}  // namespace x11
}  // namespace platform
