// IDemo: what the engine drives, one per run. It owns its effects and
// post-processors; the started-counters include an object whose Init failed.
#pragma once

#include <cstdint>
#include <vector>

class IEffect;
class IPostProcessor;

class IDemo {
public:
    // The engine deletes the demo through this interface.
    virtual ~IDemo() = default;
    virtual bool Init() = 0;
    virtual void Shutdown() = 0;
    virtual bool Render() = 0;
    // Back to the state a fresh start gives, every effect's included, so that
    // the frames after it draw as they would after Init.
    virtual void Rewind() {}

    std::vector<IEffect*> effects;
    std::vector<IPostProcessor*> postProcessors;
    int32_t effectsStarted = 0;
    int32_t postProcessorsStarted = 0;
    const char* name = nullptr;
};
