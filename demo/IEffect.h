// IEffect: a scene that draws itself for a given clock value (beats). The
// renderer binds the effect's vertex array around its Render and advances its
// clock by the music's advance since the previous frame.
#pragma once

#include <cstdint>

#include "render/ShaderProgram.h"

class IEffect {
public:
    virtual bool Init() = 0;
    virtual void Render(float time) = 0;
    virtual void Shutdown() = 0;

    uint32_t vertexArray = 0;
    ShaderProgram program;
    const char* name = nullptr;
    float time = 0;

protected:
    ~IEffect() = default;  // deleted as the concrete class its owner created
};
