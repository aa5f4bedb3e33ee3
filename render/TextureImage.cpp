// Image decoding with stb_image after a look at the header (stbi_info), so
// that a file stating an absurd size is refused before its pixels are had.
// Limits: PNG, JPEG, BMP and TGA only; files up to kMaxImageFileBytes.
#include "render/TextureImage.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileRead.h"
#include "render/CubeCross.h"
#include "render/JpegTables.h"

void ImageFree::operator()(unsigned char* pixels) const { stbi_image_free(pixels); }

bool TextureSizeUsable(int height, int width, bool cubeMap, const TextureLimits& limits) {
    if (height <= 0 || width <= 0) return false;
    if (uint64_t(height) * uint64_t(width) > kMaxImagePixels) return false;
    if (!cubeMap) {
        const int side = limits.maxTextureSize > 0 ? limits.maxTextureSize : kMaxImageSide;
        return width <= side && height <= side;
    }
    const int side = limits.maxCubeMapSize > 0 ? limits.maxCubeMapSize : kMaxImageSide;
    CubeCrossLayout layout;
    // A cross with oblong faces has no cube to become.
    if (!CubeCrossFaceSize(height, width, &layout) || layout.faceWidth != layout.faceHeight) return false;
    return layout.faceWidth <= side;
}

namespace {

// Whether stb_image would hand the bytes to one of the decoders the player
// keeps: PNG, JPEG, BMP and TGA. GIF, PSD, PIC, PNM and HDR are tried before
// TGA by their leading bytes, which are refused here; stb_image 2.27 reads
// past its buffers on some of them (16-bit PNM for one), and no show needs
// them.
bool TrustedFormat(const unsigned char* bytes, size_t size) {
    auto startsWith = [&](const char* prefix, size_t length) {
        return size >= length && std::memcmp(bytes, prefix, length) == 0;
    };
    return !(startsWith("GIF8", 4) || startsWith("8BPS", 4) || startsWith("\x53\x80\xF6\x34", 4) ||
             startsWith("P5", 2) || startsWith("P6", 2) || startsWith("#?RADIANCE\n", 11) ||
             startsWith("#?RGBE\n", 7));
}

// False for a PNG with a chunk that claims more bytes than the stream still
// holds: stb_image grows its buffer to a data chunk's claimed length before
// reading it, so a few bytes could otherwise cost a gigabyte. Where each
// empty IDAT chunk starts goes to emptyData: stb_image copies a chunk's
// bytes into its data buffer, and for an empty first one that buffer does
// not exist yet.
bool PngChunksFit(const unsigned char* bytes, size_t size, std::vector<size_t>* emptyData) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(bytes, kSignature, 8) != 0) return true;
    size_t p = 8;
    while (size - p >= 8) {
        const uint64_t length = uint64_t(bytes[p]) << 24 | uint64_t(bytes[p + 1]) << 16 |
                                uint64_t(bytes[p + 2]) << 8 | bytes[p + 3];
        // Length and type, the data, then the 4 CRC bytes.
        if (length > size - p - 8) return false;
        if (std::memcmp(bytes + p + 4, "IEND", 4) == 0) break;
        if (length == 0 && std::memcmp(bytes + p + 4, "IDAT", 4) == 0) emptyData->push_back(p);
        p += 8 + size_t(length) + std::min<size_t>(4, size - p - 8 - size_t(length));
    }
    return true;
}

// The PNG without the empty chunks starting at the given offsets: they hold
// no image data, so the picture is the same.
std::string WithoutEmptyChunks(const unsigned char* bytes, size_t size, const std::vector<size_t>& starts) {
    std::string kept;
    kept.reserve(size);
    size_t from = 0;
    for (size_t start : starts) {
        kept.append(reinterpret_cast<const char*>(bytes) + from, start - from);
        from = std::min(size, start + 12);
    }
    kept.append(reinterpret_cast<const char*>(bytes) + from, size - from);
    return kept;
}

// What the header states, checked; then the pixels, checked again against
// what decoding really gave.
template <typename Info, typename Decode>
bool DecodeChecked(Info info, Decode decode, bool cubeMap, const TextureLimits& limits, TextureImage* image) {
    int width = 0, height = 0, components = 0;
    if (!info(&width, &height, &components) || !TextureSizeUsable(height, width, cubeMap, limits)) return false;
    int decodedWidth = 0, decodedHeight = 0;
    std::unique_ptr<unsigned char, ImageFree> pixels(decode(&decodedWidth, &decodedHeight, &components));
    if (!pixels || decodedWidth != width || decodedHeight != height) return false;
    image->pixels = std::move(pixels);
    image->height = height;
    image->width = width;
    return true;
}

}  // namespace

bool LoadTextureImageFile(const char* path, bool cubeMap, const TextureLimits& limits, TextureImage* image) {
    // A folder, a FIFO or a device is no image; an empty file decodes as none.
    std::string bytes;
    return platform::ReadRegularFile(path, kMaxImageFileBytes, &bytes) == platform::FileReadResult::Read &&
           LoadTextureImageMemory(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), cubeMap,
                                  limits, image);
}

bool LoadTextureImageMemory(const unsigned char* bytes, size_t size, bool cubeMap, const TextureLimits& limits,
                            TextureImage* image) {
    if (!bytes || size == 0 || size > size_t(INT_MAX)) return false;
    if (!TrustedFormat(bytes, size)) return false;
    std::vector<size_t> emptyData;
    if (!PngChunksFit(bytes, size, &emptyData)) return false;
    std::string trimmed;
    if (!emptyData.empty()) {
        trimmed = WithoutEmptyChunks(bytes, size, emptyData);
        bytes = reinterpret_cast<const unsigned char*>(trimmed.data());
        size = trimmed.size();
    }
    if (LooksLikeJpeg(bytes, size) && !JpegTablesSound(bytes, size)) return false;
    const int length = static_cast<int>(size);
    return DecodeChecked(
        [&](int* w, int* h, int* c) { return stbi_info_from_memory(bytes, length, w, h, c) != 0; },
        [&](int* w, int* h, int* c) { return stbi_load_from_memory(bytes, length, w, h, c, 4); }, cubeMap, limits,
        image);
}
