// IPostProcessor: redirects the effect's drawing into its main target (Begin)
// and composes the final picture onto the window (Render).
#pragma once

#include <cstdint>

#include "render/RenderTarget.h"
#include "render/ShaderProgram.h"

class IPostProcessor {
public:
    virtual bool Init() = 0;
    virtual void Begin() = 0;
    virtual void Render(float time) = 0;
    virtual void Shutdown() = 0;

    uint32_t quadBuffer = 0;
    uint32_t sampler = 0;
    int32_t texSamplerLocation = 0;
    ShaderProgram copyProgram;
    RenderTarget mainTarget;
    const char* name = nullptr;

protected:
    ~IPostProcessor() = default;
};
