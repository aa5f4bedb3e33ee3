// The scratch show folder; see show_folder.h.
#include "tests/support/show_folder.h"

#include <dirent.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

#include "tests/support/track_files.h"

namespace {

void AppendToString(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
}

std::string EncodePng(int width, int height, const std::vector<unsigned char>& rgba) {
    std::string bytes;
    stbi_write_png_to_func(AppendToString, &bytes, width, height, 4, rgba.data(), width * 4);
    return bytes;
}

}  // namespace

void LinkBuiltShow(const ScratchDir& dir, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) dir.Link(part, std::string(TESSEL_SHOW_DIR) + "/" + part);
}

ShowFolder::ShowFolder(const std::vector<std::string>& leaveOut) { LinkSourceShaders(leaveOut); }

ShowFolder::ShowFolder(Contents contents) {
    if (contents == kSourceShaders) LinkSourceShaders({});
    if (contents == kBuiltShow) LinkBuiltShow(*this);
}

void ShowFolder::LinkSourceShaders(const std::vector<std::string>& leaveOut) const {
    const std::string source = std::string(TESSEL_SOURCE_DIR) + "/data/Shaders/";
    if (DIR* folder = opendir(source.c_str())) {
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (std::find(leaveOut.begin(), leaveOut.end(), name) != leaveOut.end()) continue;
            Link("Shaders/" + name, source + name);
        }
        closedir(folder);
    }
    Write("sync/.keep", "");
}

void ShowFolder::Track(const std::string& name, float value) const { Track(name, {{0, value, Step}}); }

void ShowFolder::Track(const std::string& name, const std::vector<TrackKey>& keys) const {
    WriteTrackKeys(*this, name, keys);
}

void ShowFolder::SpriteTexture() const {
    const int size = 64;
    std::vector<unsigned char> rgba(size * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            float falloff = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            unsigned char* p = &rgba[(y * size + x) * 4];
            p[0] = p[1] = p[2] = 255;
            p[3] = static_cast<unsigned char>(255 * falloff);
        }
    Write("Textures/Floater2.png", EncodePng(size, size, rgba));
}

void ShowFolder::CubeMapTexture(unsigned char r, unsigned char g, unsigned char b) const {
    const int face = 16;
    std::vector<unsigned char> rgba(3 * face * 4 * face * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = r;
        rgba[i + 1] = g;
        rgba[i + 2] = b;
        rgba[i + 3] = 255;
    }
    Write("Textures/CubeMapTest.jpg", EncodePng(3 * face, 4 * face, rgba));
}
