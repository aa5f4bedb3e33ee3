// texturemaker: writes the particle sprite (PNG) and the cube-map cross (JPEG).
#include <stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Textures.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: texturemaker [--sprite Floater2.png] [--cube CubeMapTest.jpg]\n"
                 "                    [--seed N] [--sprite-size N] [--face-size N] [--quality Q]\n"
                 "  defaults: seed 6, sprite 64, face 512 (cross 1536 x 2048), JPEG quality 92\n");
}

bool ParseInt(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    std::string spritePath, cubePath;
    long seed = 6, spriteSize = 64, faceSize = 512, quality = 92;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            Usage();
            return 2;
        }
        const char* value = argv[++i];
        long n = 0;
        const bool numeric = ParseInt(value, n);
        if (arg == "--sprite") spritePath = value;
        else if (arg == "--cube") cubePath = value;
        else if (arg == "--seed" && numeric && n >= 0) seed = n;
        else if (arg == "--sprite-size" && numeric && n >= 4 && n <= 1024) spriteSize = n;
        else if (arg == "--face-size" && numeric && n >= 4 && n <= 4096) faceSize = n;
        else if (arg == "--quality" && numeric && n >= 1 && n <= 100) quality = n;
        else {
            std::fprintf(stderr, "texturemaker: bad argument %s %s\n", arg.c_str(), value);
            Usage();
            return 2;
        }
    }
    if (spritePath.empty() && cubePath.empty()) {
        Usage();
        return 2;
    }
    const auto t0 = std::chrono::steady_clock::now();
    if (!spritePath.empty()) {
        const Image sprite = MakeSprite(int(spriteSize));
        if (!stbi_write_png(spritePath.c_str(), sprite.width, sprite.height, 4, sprite.rgba.data(),
                            sprite.width * 4)) {
            std::fprintf(stderr, "texturemaker: cannot write %s\n", spritePath.c_str());
            return 1;
        }
    }
    const auto t1 = std::chrono::steady_clock::now();
    if (!cubePath.empty()) {
        const Image cross = MakeCubeCross(int(faceSize), uint32_t(seed));
        // JPEG has no alpha; the cross is written as RGB.
        if (!stbi_write_jpg(cubePath.c_str(), cross.width, cross.height, 4, cross.rgba.data(), int(quality))) {
            std::fprintf(stderr, "texturemaker: cannot write %s\n", cubePath.c_str());
            return 1;
        }
    }
    const auto t2 = std::chrono::steady_clock::now();
    std::printf("texturemaker: sprite %.3f s, cube map %.3f s\n",
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
    return 0;
}
