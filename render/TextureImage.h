// Decoding a PNG, JPEG, BMP or TGA image into RGBA pixels for a 2D texture or a cube-map
// cross, checked against the driver's limits before any pixel is decoded.
// No GL: the renderer uploads what this returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Sides up to which an image is decoded when the driver states no limit; a
// cross may be three and four times that. Anything larger is refused from its
// header alone.
constexpr int kMaxImageSide = 16384;

// Most pixels decoded (256 MB of RGBA: an 8192 x 8192 texture, or a cross
// of faces up to 2364 pixels).
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26;

// Largest image file read.
constexpr uint64_t kMaxImageFileBytes = uint64_t(256) << 20;

struct TextureLimits {
    int maxTextureSize = 0;  // largest 2D side; 0 or less: kMaxImageSide
    int maxCubeMapSize = 0;  // largest cube face side; 0 or less: kMaxImageSide
};

struct ImageFree {
    void operator()(unsigned char* pixels) const;
};

struct TextureImage {
    std::unique_ptr<unsigned char, ImageFree> pixels;  // width x height RGBA, top row first
    int height = 0;
    int width = 0;
};

// Whether an image of width x height can become the texture: within the
// limits and, for a cube map, a cross of square faces of at least one pixel.
bool TextureSizeUsable(int height, int width, bool cubeMap, const TextureLimits& limits);

// Decodes the file (false when it is no regular file of at most
// kMaxImageFileBytes, or cannot be decoded or used).
bool LoadTextureImageFile(const char* path, bool cubeMap, const TextureLimits& limits, TextureImage* image);

// The same for an encoded image held in memory.
bool LoadTextureImageMemory(const unsigned char* bytes, size_t size, bool cubeMap, const TextureLimits& limits,
                            TextureImage* image);
