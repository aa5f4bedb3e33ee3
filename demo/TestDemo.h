// TestDemo: the production's timeline. Every frame its tracks choose the
// effect, the post-processor, the effect's clock and the camera.
// The demo owns its effects and post-processors: Shutdown shuts down the
// started ones and then deletes every object it created, so nothing leaks.
#pragma once

#include <functional>
#include <vector>

#include "demo/IDemo.h"
#include "sync/SyncSystem.h"

class TestDemo final : public IDemo {
public:
    // Fills the effect and post-processor lists (through AddEffect and
    // AddPostProcessor) during Init, in list order.
    using PartsBuilder = std::function<void(TestDemo&)>;

    // The production: effects [particle rain, snake scene], post-processors [bloom].
    TestDemo();
    // Other parts, for instance stand-ins in tests.
    explicit TestDemo(PartsBuilder builder);
    ~TestDemo() override;
    TestDemo(const TestDemo&) = delete;
    TestDemo& operator=(const TestDemo&) = delete;

    bool Init() override;
    void Shutdown() override;
    bool Render() override;
    // No effect time written yet, every effect rewound.
    void Rewind() override;

    // Appends an effect that the demo deletes as T once it is shut down.
    template <class T>
    void AddEffect(T* effect) {
        effects.push_back(effect);
        deleters.push_back([effect] { delete effect; });
    }
    // Appends a post-processor that the demo deletes as T once it is shut down.
    template <class T>
    void AddPostProcessor(T* postProcessor) {
        postProcessors.push_back(postProcessor);
        deleters.push_back([postProcessor] { delete postProcessor; });
    }

    TrackHandle* effectIndex = nullptr;
    TrackHandle* postProcessorIndex = nullptr;
    TrackHandle* effectTime = nullptr;
    TrackHandle* cameraDistance = nullptr;
    TrackHandle* cameraPitch = nullptr;
    TrackHandle* cameraYaw = nullptr;
    TrackHandle* cameraRoll = nullptr;
    TrackHandle* cameraXOffset = nullptr;
    TrackHandle* cameraYOffset = nullptr;
    TrackHandle* cameraZOffset = nullptr;
    float lastEffectTime = 0;

private:
    // Deletes the ten track handles (in fetch order) and clears them.
    void ReleaseTracks();
    void DeleteParts();

    PartsBuilder buildParts;
    std::vector<std::function<void()>> deleters;
};
