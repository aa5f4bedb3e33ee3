// The scene test stage; see scene_harness.h.
#include "tests/demo/scene_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "demo/IEffect.h"
#include "render/gl.h"

namespace scenetest {

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
