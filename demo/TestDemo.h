// TestDemo: the production's timeline. Every frame its tracks choose the
// effect, the post-processor, the effect's clock and the camera.
#pragma once

#include "demo/IDemo.h"
#include "sync/SyncSystem.h"

class TestDemo final : public IDemo {
public:
    TestDemo();
    bool Init() override;
    void Shutdown() override;
    bool Render() override;

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
};
