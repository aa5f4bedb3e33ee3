// Test harness for the GL tests; see gl_harness.h.
#include "tests/render/gl_harness.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <stb_image.h>

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

Screen Grab() {
    Screen screen;
    glFinish();
    ScratchDir dir;
    const std::string file = dir / "screen.ppm";
    const char* display = getenv("DISPLAY");
    const std::string command =
        std::string("import -display '") + (display ? display : "") + "' -window root '" + file + "'";
    if (std::system(command.c_str()) != 0) return screen;
    int components = 0;
    unsigned char* pixels = stbi_load(file.c_str(), &screen.width, &screen.height, &components, 3);
    if (!pixels) return screen;
    screen.rgb.assign(pixels, pixels + static_cast<size_t>(screen.width) * screen.height * 3);
    stbi_image_free(pixels);
    return screen;
}

long Screen::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return -1;
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (long(p[0]) << 16) | (long(p[1]) << 8) | p[2];
}

}  // namespace gltest
