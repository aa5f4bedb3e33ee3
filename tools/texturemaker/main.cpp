// texturemaker: writes the particle sprite (PNG) and the cube-map cross
// (JPEG). Each picture is compressed in memory and written through an output
// file, so it appears under its name only when complete. Exit status 0 when
// every picture asked for is written, 1 when one cannot be, 2 for a mistake
// on the command line.
#include <stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "Textures.h"
#include "cli/CommandLine.h"
#include "platform/OutputFile.h"

namespace {

void Append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

// Writes the encoded picture; false with "PATH: reason" printed.
bool Save(const std::string& path, bool encoded, const std::string& bytes) {
    std::string error = path + ": the picture could not be encoded";
    if (encoded && platform::WriteFileAtomically(path, bytes, &error)) return true;
    std::fprintf(stderr, "texturemaker: %s\n", error.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string spritePath, cubePath;
    long seed = 6, spriteSize = 64, faceSize = 512, quality = 92;

    cli::CommandLine line("texturemaker", "Draws the particle sprite (PNG) and the cube-map cross (JPEG).");
    CLI::App& app = line.App();
    CLI::Option* sprite =
        app.add_option("--sprite", spritePath, "the sprite, a PNG")->type_name("FILE")->check(cli::NotEmpty());
    CLI::Option* cube =
        app.add_option("--cube", cubePath, "the cube-map cross, a JPEG")->type_name("FILE")->check(cli::NotEmpty());
    app.add_option("--seed", seed, "the sky's seed (default 6)")->type_name("N")->check(cli::WholeNumber(0, 4294967295LL));
    app.add_option("--sprite-size", spriteSize, "sprite width and height, 4 to 1024 (default 64)")
        ->type_name("N")
        ->check(cli::WholeNumber(4, 1024));
    app.add_option("--face-size", faceSize, "cube face width and height, 4 to 4096 (default 512: a 1536 x 2048 cross)")
        ->type_name("N")
        ->check(cli::WholeNumber(4, 4096));
    app.add_option("--quality", quality, "JPEG quality, 1 to 100 (default 92)")
        ->type_name("Q")
        ->check(cli::WholeNumber(1, 100));
    if (const std::optional<int> exit = line.Parse(argc, argv)) return *exit;
    if (!sprite->count() && !cube->count()) return line.Refuse("nothing to write: give --sprite FILE, --cube FILE or both");

    const auto t0 = std::chrono::steady_clock::now();
    if (!spritePath.empty()) {
        const Image image = MakeSprite(int(spriteSize));
        std::string png;
        const bool encoded = stbi_write_png_to_func(Append, &png, image.width, image.height, 4, image.rgba.data(),
                                                    image.width * 4) != 0;
        if (!Save(spritePath, encoded, png)) return 1;
    }
    const auto t1 = std::chrono::steady_clock::now();
    if (!cubePath.empty()) {
        const Image cross = MakeCubeCross(int(faceSize), uint32_t(seed));
        // JPEG has no alpha; the cross is written as RGB.
        std::string jpeg;
        const bool encoded =
            stbi_write_jpg_to_func(Append, &jpeg, cross.width, cross.height, 4, cross.rgba.data(), int(quality)) != 0;
        if (!Save(cubePath, encoded, jpeg)) return 1;
    }
    const auto t2 = std::chrono::steady_clock::now();
    std::printf("texturemaker: sprite %.3f s, cube map %.3f s\n",
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
    return 0;
}
