// The shared GL test set-up; see gl_window.h.
#include "tests/support/gl_window.h"

#include "platform/AppWindow.h"
#include "tests/support/xvfb_server.h"

namespace gltest {
namespace {

const char16_t kClassName[] = u"TesselGLTest";

platform::Result Procedure(platform::WindowHandle window, platform::MessageId message, platform::WParam wParam,
                           platform::LParam lParam) {
    return platform::DefWindowProc(window, message, wParam, lParam);
}

bool Start() {
    static XvfbServer server(1600, 1000);
    if (!server.ok()) return false;
    server.Export();
    platform::Instance instance = platform::GetInstance();
    if (!instance) return false;
    platform::WindowClass windowClass;
    windowClass.style = platform::CS_OWNDC;
    windowClass.procedure = Procedure;
    windowClass.instance = instance;
    windowClass.className = kClassName;
    if (!platform::RegisterClass(windowClass)) return false;
    AppWindow bootstrap;
    bootstrap.instance = instance;
    bootstrap.handle = platform::CreateWindow(0, kClassName, u"bootstrap", platform::WS_OVERLAPPEDWINDOW, 0, 0, 64,
                                              64, instance);
    return bootstrap.handle && bootstrap.LoadGLExtensions();
}

}  // namespace

bool Ready() {
    static const bool ready = Start();
    return ready;
}

platform::WindowHandle NewWindow(int width, int height) {
    if (!Ready()) return nullptr;
    platform::WindowHandle window = platform::CreateWindow(0, kClassName, u"GL test", platform::WS_OVERLAPPEDWINDOW,
                                                           0, 0, width, height, platform::GetInstance());
    if (window) platform::ShowWindow(window, platform::SW_SHOW);
    return window;
}

GLWindow::~GLWindow() {
    if (rendererStarted) renderer.Shutdown();
    if (window) platform::DestroyWindow(window);
    gRenderer = nullptr;
    gLogger = nullptr;
}

bool GLWindow::Start(int width, int height) {
    gLogger = &logger;
    window = NewWindow(width, height);
    if (!window || !renderer.Init(window, 0)) return false;
    rendererStarted = true;
    gRenderer = &renderer;
    return true;
}

}  // namespace gltest
