// Test harness for the GL tests; see gl_harness.h.
#include "tests/render/gl_harness.h"

#include <unistd.h>

#include <climits>

#include "platform/AppWindow.h"
#include "render/gl.h"
#include "tests/support/xvfb_server.h"

namespace gltest {
namespace {

const char16_t kClassName[] = u"TesselRenderTest";

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
    platform::WindowHandle window =
        platform::CreateWindow(0, kClassName, u"render test", platform::WS_OVERLAPPEDWINDOW, 0, 0, width, height,
                               platform::GetInstance());
    if (window) platform::ShowWindow(window, platform::SW_SHOW);
    return window;
}

ShowFolder::ShowFolder(bool withShaders) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) previous = cwd;
    if (withShaders) {
        const std::string source = std::string(TESSEL_SOURCE_DIR) + "/data/Shaders/";
        scratch.Link("Shaders/LoadingBar.vert", source + "LoadingBar.vert");
        scratch.Link("Shaders/LoadingBar.frag", source + "LoadingBar.frag");
    }
    if (chdir(scratch.path().c_str()) != 0) previous.clear();
}

ShowFolder::~ShowFolder() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) {
    }
}

std::vector<unsigned char> ReadFront(int x, int y, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    glFinish();
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glReadBuffer(GL_BACK);
    return pixels;
}

}  // namespace gltest
