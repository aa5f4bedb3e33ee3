// The scene test stage; see scene_harness.h.
#include "tests/demo/scene_harness.h"

#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <dirent.h>

#include "demo/IEffect.h"
#include "render/gl.h"
#include "sync/TrackFile.h"

namespace scenetest {
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

Rgba Image::At(int x, int y) const {
    Rgba p;
    if (x < 0 || y < 0 || x >= width || y >= height) return p;
    const unsigned char* q = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    p.r = q[0];
    p.g = q[1];
    p.b = q[2];
    p.a = q[3];
    return p;
}

int Image::CountLit(int threshold) const {
    int count = 0;
    for (size_t i = 0; i + 3 < pixels.size(); i += 4)
        if (pixels[i] > threshold || pixels[i + 1] > threshold || pixels[i + 2] > threshold) ++count;
    return count;
}

int Image::MaxDifference(const Image& other) const {
    if (other.pixels.size() != pixels.size()) return 256;
    int worst = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 4 == 3) continue;
        worst = std::max(worst, std::abs(int(pixels[i]) - int(other.pixels[i])));
    }
    return worst;
}

int Image::CountDifferent(const Image& other, int tolerance) const {
    if (other.pixels.size() != pixels.size()) return width * height;
    int count = 0;
    for (size_t i = 0; i + 3 < pixels.size(); i += 4)
        for (size_t c = 0; c < 3; ++c)
            if (std::abs(int(pixels[i + c]) - int(other.pixels[i + c])) > tolerance) {
                ++count;
                break;
            }
    return count;
}

ShowFolder::ShowFolder(const std::vector<std::string>& leaveOut) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) previous = cwd;
    const std::string source = std::string(TESSEL_SOURCE_DIR) + "/data/Shaders/";
    if (DIR* folder = opendir(source.c_str())) {
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (std::find(leaveOut.begin(), leaveOut.end(), name) != leaveOut.end()) continue;
            scratch.Link("Shaders/" + name, source + name);
        }
        closedir(folder);
    }
    scratch.Write("sync/.keep", "");
    if (chdir(scratch.path().c_str()) != 0) previous.clear();
}

ShowFolder::~ShowFolder() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) {
    }
}

void ShowFolder::Track(const std::string& name, float value) const {
    TrackKey key;
    key.row = 0;
    key.value = value;
    key.type = Step;
    Track(name, std::vector<TrackKey>{key});
}

void ShowFolder::Track(const std::string& name, const std::vector<TrackKey>& keys) const {
    scratch.Write("sync/" + TrackFileName(name), EncodeTrackBytes(keys));
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
    scratch.Write("Textures/Floater2.png", EncodePng(size, size, rgba));
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
    scratch.Write("Textures/CubeMapTest.jpg", EncodePng(3 * face, 4 * face, rgba));
}

Stage::~Stage() {
    DestroySyncDevice(sync.device);
    sync.device = nullptr;
    gSyncSystem = nullptr;
}

bool Stage::Start(int w, int h) {
    if (!GLWindow::Start(w, h)) return false;
    width = static_cast<int>(renderer.width);
    height = static_cast<int>(renderer.height);
    gSyncSystem = &sync;
    return sync.Init(&clock);
}

bool Stage::Frame(IEffect* effect, float t, float beat) {
    clock.position = beat;
    renderer.lastMusicPosition = beat;  // no advance: the effect draws at exactly t
    effect->time = t;
    return renderer.RenderFrame(effect);
}

Image Stage::Capture() const {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height * 4);
    // Mesa's software path presents by copying: the back buffer still holds
    // the presented frame, while reading the front one yields nothing here.
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
    return image;
}

glm::vec2 Stage::Project(const glm::vec3& world) {
    glm::mat4 view(1.0f);
    renderer.camera.ViewMatrix(view);
    glm::vec4 clip = (*renderer.GetProjectionMatrix()) * view * glm::vec4(world, 1.0f);
    glm::vec2 ndc = glm::vec2(clip) / clip.w;
    return glm::vec2((ndc.x * 0.5f + 0.5f) * width, (ndc.y * 0.5f + 0.5f) * height);
}

}  // namespace scenetest
