// Vertical-cross face slicing; see CubeCross.h.
#include "render/CubeCross.h"

#include <cstring>

namespace {
// Cell (row, column) of each face in GL order; -Z is read turned by 180 degrees.
const int kCellRow[6] = {1, 1, 0, 2, 1, 3};
const int kCellColumn[6] = {2, 0, 1, 1, 1, 1};
}  // namespace

bool CubeCrossFaceSize(int height, int width, CubeCrossLayout* layout) {
    if (height <= 0 || width <= 0) return false;
    CubeCrossLayout result{width / 3, height / 4};
    if (result.faceWidth < 1 || result.faceHeight < 1) return false;
    if (layout) *layout = result;
    return true;
}

bool SliceCubeCrossFace(const unsigned char* pixels, int height, int width, int face,
                        std::vector<unsigned char>& out) {
    CubeCrossLayout layout;
    if (!pixels || face < 0 || face > 5 || !CubeCrossFaceSize(height, width, &layout)) return false;
    const size_t fw = static_cast<size_t>(layout.faceWidth);
    const size_t fh = static_cast<size_t>(layout.faceHeight);
    const size_t stride = static_cast<size_t>(width) * 4;
    out.resize(fw * fh * 4);
    if (face == 5) {
        for (size_t r = 0; r < fh; ++r) {
            const unsigned char* row = pixels + (4 * fh - 1 - r) * stride + fw * 4;
            unsigned char* dst = out.data() + r * fw * 4;
            for (size_t c = 0; c < fw; ++c) std::memcpy(dst + c * 4, row + (fw - 1 - c) * 4, 4);
        }
        return true;
    }
    const size_t firstRow = static_cast<size_t>(kCellRow[face]) * fh;
    const size_t firstColumn = static_cast<size_t>(kCellColumn[face]) * fw;
    for (size_t r = 0; r < fh; ++r)
        std::memcpy(out.data() + r * fw * 4, pixels + (firstRow + r) * stride + firstColumn * 4, fw * 4);
    return true;
}
