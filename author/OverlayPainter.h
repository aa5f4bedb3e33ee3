// OverlayPainter: lines of text drawn over the finished picture, on a dark
// translucent panel in the top-left corner, with stb_easy_font's glyphs
// (ASCII only, scaled 2x). Needs a current GL 3.3 context between Init and
// Shutdown; leaves the GL state it touched as it found it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class OverlayPainter {
public:
    bool Init();
    void Shutdown();
    // Draws over the bound framebuffer of width x height pixels.
    void Draw(const std::vector<std::string>& lines, int width, int height);

private:
    uint32_t program = 0;
    uint32_t vertexArray = 0;
    uint32_t vertexBuffer = 0;
    int sizeLocation = -1;
    std::vector<char> glyphs;     // stb_easy_font's quads
    std::vector<float> vertices;  // x, y, r, g, b, a per triangle corner
};
