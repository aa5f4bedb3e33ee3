// The particle rain's arithmetic, free of GL and tracks: the seeded layout of
// the floor and the particles, the ball points, the floor cube transform, the
// particle positions, the rhythm-hit search and the glow decay.
#pragma once

#include <array>
#include <cstdint>

#include <glm/glm.hpp>

constexpr int kFloorSide = 20;
constexpr int kFloorCubeCount = kFloorSide * kFloorSide;
constexpr int kParticleCount = 2500;
constexpr int kBallSteps = 50;
constexpr int kHitCount = 36;
constexpr int kHitWindows = 3;
constexpr float kHitFirstBeat = 80.0f;
constexpr float kHitEndBeat = 128.0f;
constexpr float kHitWindowBeats = 16.0f;
constexpr float kHitTolerance = 0.25f;
constexpr float kHitGlow = 0.3f;
constexpr float kGlowDecay = 0.95f;
constexpr float kGlowFloor = 0.05f;

// Beat offsets of the hits within one 16-beat window.
extern const std::array<float, kHitCount> kHitTimes;

using FloorVectors = std::array<glm::vec3, kFloorCubeCount>;
using ParticleVectors = std::array<glm::vec3, kParticleCount>;
using HitParticles = std::array<int32_t, kHitCount * kHitWindows>;

// Seeds the generator with 0 and draws every floor cube's scatter position,
// spin and size; the grid is the 20 x 20 lattice 3 units apart.
void GenerateFloorLayout(FloorVectors& scatter, FloorVectors& grid, FloorVectors& spin,
                         FloorVectors& size);

// Seeds the generator with 0 again and draws the particle starts, the early
// drift directions, the late drift vectors and then the 108 hit particles.
void GenerateParticleLayout(ParticleVectors& start, ParticleVectors& driftDirection,
                            ParticleVectors& lateDrift, HitParticles& hitParticles);

// The 2500 points on a ball of radius R (every point is reached twice). The
// trigonometry is done once; Fill only scales it, allocation-free.
class BallPoints final {
public:
    BallPoints();
    void Fill(float radius, ParticleVectors& out) const;

private:
    std::array<float, kBallSteps> sinA{}, cosA{}, sinB{}, cosB{};
};

// Where floor cube G/S sits for blend r, hole push h and lift y0. The cube at
// the grid centre (|G| = 0) has no direction to be pushed along: no push.
glm::vec3 FloorCubeCenter(const glm::vec3& grid, const glm::vec3& scatter, float r, float h, float y0);

// The floor cube's model matrix: the whole floor turns with t, each cube spins.
glm::mat4 FloorCubeMatrix(float t, const glm::vec3& center, const glm::vec3& spin,
                          const glm::vec3& size, float floorScale);

// The index into hitParticles of the hit at this beat, or -1 (outside beats
// 80..128 or no hit time within 0.25; the earlier entry wins a tie).
int FindHit(float beat);

// Every glow times 0.95, and 0 once it falls below 0.05.
void DecayGlow(float* glow, int count);

// The particle's position: blended from start to ball point by rb, then
// drifting along its direction by ds * t before beat 80, along its late
// drift by ds * (beat - 80) from then on.
glm::vec3 ParticlePosition(const glm::vec3& start, const glm::vec3& ball, float rb, float ds, float t,
                           float beat, const glm::vec3& driftDirection, const glm::vec3& lateDrift);
