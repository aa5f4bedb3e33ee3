// SnakeScene: effect 1, "Snake Scene Effect". A turning tunnel of 2048
// two-sided panels reflecting a cube map, widened and twisted by "Tunnel
// Radius", with the tunnel cube snake winding along its axis.
#pragma once

#include <cstdint>

#include "demo/IEffect.h"
#include "demo/LitMesh.h"
#include "render/ShaderProgram.h"

class ITexture;
struct TrackHandle;

// Uniform locations of the tunnel program, in look-up order.
struct TunnelLocations {
    int32_t modelMatrix = -1;
    int32_t lightPos = -1;
    int32_t normalMatrix = -1;  // looked up, never set: the shader does not use it
    int32_t reflection = -1;
    int32_t diffuse = -1;
};

class SnakeScene final : public IEffect {
public:
    SnakeScene();
    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;

    uint32_t cubeBuffer = 0;
    LitUniforms snakeLit;
    TrackHandle* snakeHeight = nullptr;
    TrackHandle* snakeSpeed = nullptr;
    uint32_t panelBuffer = 0;
    TunnelLocations tunnelLocations;
    ITexture* texture = nullptr;
    uint32_t sampler = 0;
    int32_t texSamplerLocation = -1;
    ShaderProgram tunnelProgram;
    TrackHandle* tunnelRadius = nullptr;
};
