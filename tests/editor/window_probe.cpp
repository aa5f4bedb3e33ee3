// Prints how much of a window's lower right part is lit, so the browser
// tests can tell whether the show's window shows a picture or is black:
//   editor_window_probe DISPLAY CAPTION   ->  "lit FRACTION" (0 .. 1)
// The corner is the part away from the authoring overlay's text. Exit 1
// when the display or the window cannot be found or read.
#include <cstdio>
#include <string>

#include "tests/support/x11_probe.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DISPLAY CAPTION\n", argv[0]);
        return 1;
    }
    X11Probe probe(argv[1]);
    if (!probe.ok()) {
        std::fprintf(stderr, "%s: cannot open display %s\n", argv[0], argv[1]);
        return 1;
    }
    const Window window = probe.FindByCaption(argv[2]);
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = window ? probe.Capture(window, &width, &height) : std::vector<uint32_t>();
    if (pixels.empty()) {
        std::fprintf(stderr, "%s: no readable window \"%s\"\n", argv[0], argv[2]);
        return 1;
    }
    size_t lit = 0, total = 0;
    for (int y = height / 2; y < height; ++y)
        for (int x = width * 2 / 3; x < width; ++x) {
            const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            if (((p >> 16) & 0xFF) > 24 || ((p >> 8) & 0xFF) > 24 || (p & 0xFF) > 24) ++lit;
            ++total;
        }
    std::printf("lit %.4f\n", total ? double(lit) / double(total) : 0.0);
    return 0;
}
