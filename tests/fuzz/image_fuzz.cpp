// Fuzz target: image bytes through the texture decoder, as a 2D texture and
// as a cube-map cross, then every face of a usable cross sliced out.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/CubeCross.h"
#include "render/TextureImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Small limits keep each run quick; the checks are the same at any size.
    const TextureLimits limits{2048, 1024};
    TextureImage flat;
    if (LoadTextureImageMemory(data, size, false, limits, &flat)) {
        if (!TextureSizeUsable(flat.height, flat.width, false, limits)) std::abort();
    }
    TextureImage cross;
    if (!LoadTextureImageMemory(data, size, true, limits, &cross)) return 0;
    CubeCrossLayout layout;
    if (!CubeCrossFaceSize(cross.height, cross.width, &layout) || layout.faceWidth != layout.faceHeight) std::abort();
    std::vector<unsigned char> face;
    for (int i = 0; i < 6; ++i) {
        if (!SliceCubeCrossFace(cross.pixels.get(), cross.height, cross.width, i, face)) std::abort();
        if (face.size() != size_t(layout.faceWidth) * size_t(layout.faceHeight) * 4) std::abort();
    }
    return 0;
}
