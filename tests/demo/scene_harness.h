// Set-up for drawing the scenes for real: a private Xvfb, a window of the
// platform layer, GLEW and the real GLRenderer; a scratch show folder with
// the shaders, test textures and track files; the real sync system reading
// those files at a music position the test sets. Frames go through
// GLRenderer::RenderFrame and are read back from the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "audio/IDemoAudioSystem.h"
#include "core/ILogger.h"
#include "platform/platform.h"
#include "render/GLRenderer.h"
#include "sync/SyncSystem.h"
#include "tests/support/scratch_dir.h"

namespace scenetest {

// A music clock that stands still where the test puts it.
class StillClock final : public IDemoAudioSystem {
public:
    bool Init() override { return true; }
    void Shutdown() override {}
    void SetListenerPosition(float, float, float) override {}
    bool LoadSong(const char*, float) override { return true; }
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    bool IsPlaying() override { return true; }
    void SetVolume(float) override {}
    float GetPosition() override { return beats; }
    void SetPosition(float value) override { beats = value; }
    float beats = 0;
};

// Keeps every log line as the file would hold it.
class LineLogger final : public ILogger {
public:
    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* first, const char* second) override;
    void WriteLine(const char* text) override;
    void WriteTimestamp() override {}
    void WriteDebug(const char* text) override;
    void WriteError(const char* text) override;
    void WriteWide(const char16_t*) override {}
    std::vector<std::string> lines;
};

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

// A scratch show folder that is the working directory while it lives.
class ShowFolder {
public:
    // Links every shader of the source tree except the names in `leaveOut`.
    explicit ShowFolder(const std::vector<std::string>& leaveOut = {});
    ~ShowFolder();
    // A track file ./sync/_<name>.track holding one step key at row 0.
    void Track(const std::string& name, float value) const;
    void Track(const std::string& name, const std::vector<TrackKey>& keys) const;
    // ./Textures/Floater2.png: white with alpha falling to 0 at the edge.
    void SpriteTexture() const;
    // ./Textures/CubeMapTest.jpg: a 3 x 4 cross of one colour (PNG bytes).
    void CubeMapTexture(unsigned char r, unsigned char g, unsigned char b) const;
    const ScratchDir& dir() const { return scratch; }

private:
    ScratchDir scratch;
    std::string previous;
};

// Xvfb, window, GLEW, renderer, sync system and logger, torn down in reverse.
class Stage {
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

    GLRenderer renderer;
    SyncSystem sync;
    StillClock clock;
    LineLogger logger;
    int width = 0;
    int height = 0;

private:
    platform::WindowHandle window = nullptr;
    bool rendererStarted = false;
};

}  // namespace scenetest
