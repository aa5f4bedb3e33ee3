// Stand-ins for the demo's surroundings in timeline tests: a renderer that
// records what each frame was given and advances the effect clock like the
// real one, and effects and post-processors that record their calls. The
// music clock is tests/support/fake_audio.h, the logger
// tests/support/recording_logger.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/IDemoAudioSystem.h"
#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "render/IRenderer.h"

// Every call of every double, in order ("Init Snake", "Shutdown Bloom", ...).
using CallLog = std::vector<std::string>;

struct FrameRecord {
    IEffect* effect = nullptr;
    IPostProcessor* postProcessor = nullptr;
    float timeOnEntry = 0;  // the effect's clock as the demo left it
    Camera camera;
};

class FakeRenderer : public IRenderer {
public:
    explicit FakeRenderer(IDemoAudioSystem* clock) : clock(clock) {}
    bool Init(platform::WindowHandle, int) override { return true; }
    void Shutdown() override {}
    // Advances the effect's clock by the music's advance, as the real one does.
    bool RenderFrame(IEffect* effect) override {
        FrameRecord frame;
        frame.effect = effect;
        frame.postProcessor = postProcessor;
        frame.timeOnEntry = effect->time;
        frame.camera = camera;
        frames.push_back(frame);
        float position = clock->GetPosition();
        effect->time += position - lastMusicPosition;
        lastMusicPosition = position;
        return true;
    }
    ITexture* LoadTexture(const char*, bool) override { return nullptr; }
    Camera* GetCamera() override { return &camera; }
    glm::mat4* GetProjectionMatrix() override { return &projection; }
    void Resize(int, int) override {}
    void InitLoadingBar() override {}
    void ShutdownLoadingBar() override {}
    void DrawLoadingBar() override { barSteps.push_back(loadingProgress); }
    void CreateMissingTexture() override {}
    ITexture* CreateTexture(const unsigned char*, int, int) override { return nullptr; }
    ITexture* CreateCubeMapTexture(const unsigned char*, int, int) override { return nullptr; }
    void DeleteTexture(ITexture*) override {}

    IDemoAudioSystem* clock;
    glm::mat4 projection{1.0f};
    std::vector<float> barSteps;
    std::vector<FrameRecord> frames;
};

// An effect or post-processor that records Init, Render and Shutdown and
// counts its deletion; Init answers initResult.
template <class Part>
class FakePart : public Part {
public:
    FakePart(const char* label, CallLog* calls, int* deleted, bool initResult = true)
        : label(label), calls(calls), deleted(deleted), initResult(initResult) {
        this->name = label;
    }
    ~FakePart() { ++*deleted; }
    bool Init() override {
        calls->push_back("Init " + label);
        return initResult;
    }
    void Render(float) override { calls->push_back("Render " + label); }
    void Shutdown() override { calls->push_back("Shutdown " + label); }

    std::string label;
    CallLog* calls;
    int* deleted;
    bool initResult;
};

class FakeEffect final : public FakePart<IEffect> {
public:
    using FakePart::FakePart;
};

class FakePostProcessor final : public FakePart<IPostProcessor> {
public:
    using FakePart::FakePart;
    void Begin() override { calls->push_back("Begin " + label); }
};
