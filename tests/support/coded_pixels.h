// Pictures for image and texture tests whose every pixel encodes its own
// position, so that a pixel read back tells where it came from (a flip, a
// cube face, a mipmap level). Positions up to 4095 each way.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// RGBA pixels, top row first: red and green hold the column and row (low 8
// bits), blue their high 4 bits each (column low, row high), alpha 255.
inline std::vector<unsigned char> PositionCoded(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<unsigned char>(x & 0xFF);
            p[1] = static_cast<unsigned char>(y & 0xFF);
            p[2] = static_cast<unsigned char>((x >> 8) | ((y >> 8) << 4));
            p[3] = 255;
        }
    return pixels;
}

// The (column, row) the pixel at (x, y) of a coded picture `width` wide
// came from.
inline std::pair<int, int> CodedOrigin(const std::vector<unsigned char>& pixels, int width, int x, int y) {
    const unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return {p[0] | ((p[2] & 0x0F) << 8), p[1] | ((p[2] >> 4) << 8)};
}
