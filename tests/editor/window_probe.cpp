// Looks at the show's window for the browser tests:
//   editor_window_probe DISPLAY CAPTION         prints "lit FRACTION" (0 .. 1):
//                                               how much of its lower right part is lit
//   editor_window_probe DISPLAY CAPTION KEY     types KEY (an X keysym name, "Tab") into it
// Exit 1 when the display or the window cannot be found or read.
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

#include "tests/support/x11_probe.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s DISPLAY CAPTION [KEY]\n", argv[0]);
        return 1;
    }
    X11Probe probe(argv[1]);
    if (!probe.ok()) {
        std::fprintf(stderr, "%s: cannot open display %s\n", argv[0], argv[1]);
        return 1;
    }
    const Window window = probe.FindByCaption(argv[2]);
    if (argc == 4) {
        const KeySym key = XStringToKeysym(argv[3]);
        if (!window || key == NoSymbol || !probe.TypeKey(window, key)) {
            std::fprintf(stderr, "%s: cannot type %s into \"%s\"\n", argv[0], argv[3], argv[2]);
            return 1;
        }
        return 0;
    }
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
