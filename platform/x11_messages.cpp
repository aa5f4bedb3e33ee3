// The message queue on X11: posted messages in order, then pending X events
// translated into Win32 messages (ConfigureNotify -> WM_SIZE / WM_MOVE,
// KeyPress -> WM_KEYDOWN, WM_DELETE_WINDOW -> WM_CLOSE), then the quit
// message. Taking a message never blocks. Only keys the engine or a user
// would name get a virtual-key code; other keys arrive as key 0.
#include <X11/keysym.h>

#include <deque>
#include <string>

#include "platform/x11_internal.h"

namespace platform {
namespace {

std::deque<Message> gPosted;
std::deque<Message> gTranslated;
bool gQuitPending = false;
int gQuitCode = 0;
// The characters the latest translated key press typed, for TranslateMessage.
WindowHandle gKeyWindow = nullptr;
std::u16string gKeyChars;

// The Win32 virtual-key code of an unshifted key symbol; 0 when unnamed.
WParam VirtualKey(KeySym symbol) {
    if (symbol >= XK_a && symbol <= XK_z) return 'A' + (symbol - XK_a);
    if (symbol >= XK_A && symbol <= XK_Z) return 'A' + (symbol - XK_A);
    if (symbol >= XK_0 && symbol <= XK_9) return '0' + (symbol - XK_0);
    if (symbol >= XK_F1 && symbol <= XK_F12) return 0x70 + (symbol - XK_F1);
    switch (symbol) {
        case XK_Escape: return VK_ESCAPE;
        case XK_BackSpace: return 0x08;
        case XK_Tab: return 0x09;
        case XK_Return: case XK_KP_Enter: return 0x0D;
        case XK_Shift_L: case XK_Shift_R: return 0x10;
        case XK_Control_L: case XK_Control_R: return 0x11;
        case XK_Alt_L: case XK_Alt_R: return 0x12;
        case XK_space: return 0x20;
        case XK_Page_Up: case XK_KP_Page_Up: return VK_PRIOR;
        case XK_Page_Down: case XK_KP_Page_Down: return VK_NEXT;
        case XK_End: case XK_KP_End: return VK_END;
        case XK_Home: case XK_KP_Home: return VK_HOME;
        case XK_Left: return 0x25;
        case XK_Up: return 0x26;
        case XK_Right: return 0x27;
        case XK_Down: return 0x28;
        default: return 0;
    }
}

void Push(WindowHandle window, MessageId message, WParam wParam, LParam lParam) {
    gTranslated.push_back(Message{window, message, wParam, lParam});
}

void TranslateConfigure(WindowRecord* record, const XConfigureEvent& event) {
    Display* display = record->instance->display;
    int x = event.x, y = event.y;
    Window child;
    // Behind a reparenting window manager the event is relative to the frame.
    XTranslateCoordinates(display, record->window, RootWindow(display, record->instance->screen), 0, 0, &x, &y,
                          &child);
    // Measuring (GetClientRect) may already have seen this size, so the
    // decision compares with the size the procedure was last told.
    record->width = event.width;
    record->height = event.height;
    if (event.width != record->reportedWidth || event.height != record->reportedHeight) {
        record->reportedWidth = event.width;
        record->reportedHeight = event.height;
        Push(record, WM_SIZE, 0, x11::MakeLParam(event.width, event.height));
    }
    if (x != record->clientX || y != record->clientY) {
        record->clientX = x;
        record->clientY = y;
        Push(record, WM_MOVE, 0, x11::MakeLParam(x, y));
    }
}

void TranslateKey(WindowRecord* record, XKeyEvent& event) {
    KeySym symbol = XLookupKeysym(&event, 0);
    char typed[16];
    KeySym typedSymbol;
    int count = XLookupString(&event, typed, sizeof typed, &typedSymbol, nullptr);
    // XLookupString yields Latin-1, which maps unit for unit onto UTF-16.
    gKeyWindow = record;
    gKeyChars.clear();
    for (int i = 0; i < count; ++i) gKeyChars += static_cast<char16_t>(static_cast<unsigned char>(typed[i]));
    Push(record, WM_KEYDOWN, VirtualKey(symbol), 1 | ((event.keycode & 0xFF) << 16));
}

void Translate(XEvent& event) {
    WindowRecord* record = x11::FindWindow(event.xany.window);
    if (!record) return;
    switch (event.type) {
        case ConfigureNotify:
            TranslateConfigure(record, event.xconfigure);
            break;
        case KeyPress:
            TranslateKey(record, event.xkey);
            break;
        case ClientMessage:
            if (event.xclient.message_type == record->instance->wmProtocols && event.xclient.format == 32 &&
                static_cast<Atom>(event.xclient.data.l[0]) == record->instance->wmDeleteWindow)
                Push(record, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
}

bool Take(std::deque<Message>& queue, Message* message) {
    if (queue.empty()) return false;
    *message = queue.front();
    queue.pop_front();
    return true;
}

}  // namespace

bool PeekMessage(Message* message) {
    if (!message) return false;
    // A termination signal ends the run like the quit message, in order.
    if (x11::TakeStopRequest()) PostQuitMessage(0);
    if (Take(gPosted, message) || Take(gTranslated, message)) return true;
    if (InstanceRecord* instance = x11::CurrentInstance()) {
        // XPending reads what has arrived without waiting for more.
        while (gTranslated.empty() && XPending(instance->display)) {
            XEvent event;
            XNextEvent(instance->display, &event);
            Translate(event);
        }
        if (Take(gTranslated, message)) return true;
    }
    if (gQuitPending) {
        gQuitPending = false;
        *message = Message{nullptr, WM_QUIT, static_cast<WParam>(static_cast<LParam>(gQuitCode)), 0};
        return true;
    }
    return false;
}

void TranslateMessage(const Message* message) {
    if (!message || message->message != WM_KEYDOWN || message->window != gKeyWindow) return;
    for (char16_t unit : gKeyChars) x11::PostMessage(message->window, WM_CHAR, unit, message->lParam);
    gKeyChars.clear();
    gKeyWindow = nullptr;
}

Result DispatchMessage(const Message* message) {
    if (!message) return 0;
    return x11::SendMessage(message->window, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int exitCode) {
    gQuitPending = true;
    gQuitCode = exitCode;
}

Result DefWindowProc(WindowHandle window, MessageId message, WParam wParam, LParam lParam) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

namespace x11 {

void PostMessage(WindowHandle window, MessageId message, WParam wParam, LParam lParam) {
    gPosted.push_back(Message{window, message, wParam, lParam});
}

void DropMessagesFor(WindowHandle window) {
    for (auto* queue : {&gPosted, &gTranslated}) {
        std::deque<Message> kept;
        for (const Message& message : *queue)
            if (message.window != window) kept.push_back(message);
        queue->swap(kept);
    }
    if (gKeyWindow == window) {
        gKeyWindow = nullptr;
        gKeyChars.clear();
    }
}

void ForgetMessages() {
    gPosted.clear();
    gTranslated.clear();
    gQuitPending = false;
    gQuitCode = 0;
    gKeyWindow = nullptr;
    gKeyChars.clear();
}

}  // namespace x11
}  // namespace platform
