// AppWindow: the one window class "NimbraWindow" and its procedure, the hidden
// bootstrap window and the main window, centred on the screen or full screen
// in a switched display mode with the pointer hidden. A refused display mode
// creates no window.
#include "platform/AppWindow.h"

#include "core/Engine.h"

namespace {
const char16_t kClassName[] = u"NimbraWindow";
const char16_t kCaption[] = u"Tessel";
}  // namespace

bool AppWindow::Create(platform::Instance instance, Engine* engine, int width, int height, bool visible,
                       bool fullScreen) {
    gEngine = engine;
    this->instance = instance;

    platform::WindowClass windowClass;
    windowClass.style = platform::CS_VREDRAW | platform::CS_HREDRAW | platform::CS_OWNDC;
    windowClass.procedure = AppWindowProcedure;
    windowClass.instance = instance;
    windowClass.className = kClassName;
    // Fails harmlessly from the second call on; the first registration stays.
    platform::RegisterClass(windowClass);

    uint32_t exStyle, style;
    int x, y;
    if (fullScreen) {
        if (!platform::ChangeDisplayMode(width, height)) return false;
        platform::HideCursor();
        exStyle = platform::WS_EX_APPWINDOW;
        style = platform::WS_POPUP | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN;
        x = 0;
        y = 0;
    } else {
        exStyle = platform::WS_EX_APPWINDOW | platform::WS_EX_WINDOWEDGE;
        style = platform::WS_OVERLAPPEDWINDOW | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN;
        // Each half is truncated on its own before the subtraction.
        x = platform::GetScreenWidth() / 2 - width / 2;
        y = platform::GetScreenHeight() / 2 - height / 2;
    }
    handle = platform::CreateWindow(exStyle, kClassName, kCaption, style, x, y, width, height, instance);
    platform::ShowWindow(handle, visible ? platform::SW_SHOW : platform::SW_HIDE);
    return true;
}

platform::Result AppWindowProcedure(platform::WindowHandle window, platform::MessageId message,
                                    platform::WParam wParam, platform::LParam lParam) {
    if (message == platform::WM_DESTROY) {
        platform::PostQuitMessage(0);
        return 0;
    }
    if (gEngine) return gEngine->HandleMessage(window, message, wParam, lParam);
    return platform::DefWindowProc(window, message, wParam, lParam);
}
