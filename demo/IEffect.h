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
    // Back to the state a fresh start gives: the clock at 0 and nothing kept
    // from frames drawn before. A scene that keeps more clears that too.
    virtual void Rewind() { time = 0; }
    // A frame that is not drawn: whatever Render keeps for the frames after
    // it (not the picture) moves on exactly as Render would move it, through
    // the same code. Nothing for a scene that keeps nothing.
    virtual void Advance(float time) {}

    uint32_t vertexArray = 0;
    ShaderProgram program;
    const char* name = nullptr;
    float time = 0;

protected:
    ~IEffect() = default;  // deleted as the concrete class its owner created
};
