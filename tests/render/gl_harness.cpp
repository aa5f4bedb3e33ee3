// Test harness for the GL tests; see gl_harness.h.
#include "tests/render/gl_harness.h"

#include <cstdlib>

#include <stb_image.h>

#include "render/gl.h"

namespace gltest {

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
