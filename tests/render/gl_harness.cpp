// Test harness for the GL tests; see gl_harness.h.
#include "tests/render/gl_harness.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <stb_image.h>

#include "render/gl.h"

namespace gltest {

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
