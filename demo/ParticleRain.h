// ParticleRain: effect 0, "Particle Rain Effect". Draws a floor of 400 lit
// cubes blending between a random scatter and a grid, the rain cube snake, and
// 2500 glowing point sprites that gather on a ball, drift, and flash on the
// rhythm of beats 80 to 128. The layout is drawn once in Init from a fixed seed.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "demo/IEffect.h"
#include "demo/LitMesh.h"
#include "demo/ParticleLayout.h"
#include "render/ShaderProgram.h"

class ITexture;
struct TrackHandle;

struct ParticleVertex {
    float x, y, z;
    float glowA;
    float glowB;
};
static_assert(sizeof(ParticleVertex) == 20, "ParticleVertex is packed to 20 bytes");

class ParticleRain final : public IEffect {
public:
    ParticleRain();
    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;
    // Also puts out the particles' glow.
    void Rewind() override;
    // The glow's decay and the hit of this frame.
    void Advance(float time) override { AdvanceGlow(); }

    // The three passes, in the order Render runs them.
    void RenderFloor(float t);
    void RenderSnake(float t);
    void RenderParticles(float t);
    // The CPU side of the particle pass (ball, glow decay, hit, positions), no GL.
    void UpdateParticles(float t);
    // What the particles keep from frame to frame: the glow decays and the
    // music's hit, if one falls on this frame, lights its particle.
    void AdvanceGlow();

    uint32_t floorCubeBuffer = 0;
    FloorVectors floorScatter{};
    FloorVectors floorGrid{};
    FloorVectors floorSpin{};
    FloorVectors floorSize{};
    LitUniforms floorLit;
    TrackHandle* floorHeight = nullptr;
    TrackHandle* floorScale = nullptr;
    TrackHandle* floorHole = nullptr;
    TrackHandle* randToFloor = nullptr;
    ShaderProgram floorProgram;
    uint32_t snakeCubeBuffer = 0;
    LitUniforms snakeLit;
    TrackHandle* snakeHeight = nullptr;
    TrackHandle* snakeSpeed = nullptr;
    ShaderProgram snakeProgram;
    uint32_t particleBuffer = 0;
    std::unique_ptr<ParticleVertex[]> particleVertices;
    int32_t particleCount = 0;
    ParticleVectors particleStart{};
    ParticleVectors ballTarget{};
    ParticleVectors driftDirection{};
    ParticleVectors lateDrift{};
    std::array<float, kParticleCount> glow{};
    std::array<float, kHitCount> hitTimes{};
    HitParticles hitParticles{};
    TrackHandle* randToBall = nullptr;
    TrackHandle* driftSpeed = nullptr;
    TrackHandle* ballRadius = nullptr;
    TrackHandle* particleGlow = nullptr;
    ITexture* texture = nullptr;
    uint32_t sampler = 0;
    int32_t texSamplerLocation = -1;
    int32_t colorLocation = -1;

private:
    BallPoints ballPoints;
};
