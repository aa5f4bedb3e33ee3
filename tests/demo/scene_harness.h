// Set-up for drawing the scenes for real: the shared GL window (private
// Xvfb, GLEW, the real GLRenderer); a scratch show folder
// (tests/support/show_folder.h) with the shaders, test textures and track
// files; the real sync system reading those files at a music position the
// test sets. Frames go through
// GLRenderer::RenderFrame and are read back from the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "sync/SyncSystem.h"
#include "tests/support/fake_audio.h"
#include "tests/support/gl_window.h"
#include "tests/support/show_folder.h"

namespace scenetest {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};

// Read-back pixels, bottom row first (GL's order).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
    Rgba At(int x, int y) const;
    // Pixels whose red, green or blue exceeds the threshold.
    int CountLit(int threshold) const;
    // The largest difference of any channel (alpha aside) against another image.
    int MaxDifference(const Image& other) const;
    // Pixels where some channel (alpha aside) differs by more than tolerance.
    int CountDifferent(const Image& other, int tolerance) const;
};

// The shared GL window with the renderer, plus the sync system reading the
// show folder's tracks at a music position the test sets.
class Stage : public gltest::GLWindow {
public:
    Stage() = default;
    ~Stage();
    // Call with the show folder prepared (tracks are read on first request).
    bool Start(int width, int height);
    // One frame of the effect at effect time t and music position beat.
    bool Frame(IEffect* effect, float t, float beat);
    Image Capture() const;
    // Window pixel of a world point under the renderer's camera.
    glm::vec2 Project(const glm::vec3& world);

    SyncSystem sync;
    FakeAudio clock;
    int width = 0;
    int height = 0;
};

}  // namespace scenetest
