// The particle rain's layout and per-frame arithmetic (no GL, no tracks).
#include "demo/ParticleLayout.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

#include "demo/LayoutRandom.h"
#include "demo/LayoutTrig.h"

const std::array<float, kHitCount> kHitTimes = {
    0.0f,  0.5f,  0.75f, 1.0f,  1.5f,  2.0f,  2.5f,  3.0f,  3.5f,  4.0f,  4.5f,  4.75f,
    5.0f,  5.5f,  6.0f,  6.5f,  7.0f,  7.5f,  8.0f,  8.5f,  8.75f, 9.0f,  9.5f,  10.0f,
    10.5f, 11.0f, 11.5f, 12.0f, 12.5f, 12.75f, 13.0f, 13.5f, 14.0f, 14.5f, 15.0f, 15.5f};

void GenerateFloorLayout(FloorVectors& scatter, FloorVectors& grid, FloorVectors& spin,
                         FloorVectors& size) {
    LayoutRandom random;
    random.Seed(0);
    for (int i = 0; i < kFloorSide; ++i)
        for (int j = 0; j < kFloorSide; ++j) {
            int k = kFloorSide * i + j;
            Draw3 d = NextDraw3(random);
            scatter[k] = glm::vec3(float(d.d3 % 100 - 50), float(d.d2 % 20 - 10), float(d.d1 % 100 - 50));
            grid[k] = glm::vec3(float(3 * i - 30), 0.0f, float(3 * j - 30));
            d = NextDraw3(random);
            spin[k] = glm::vec3(float(d.d3 % 360 + 1), float(d.d2 % 360 + 1), float(d.d1 % 360 + 1));
            float s = float(random.Next() % 6 + 1) / 3.0f;
            size[k] = glm::vec3(s, s, s);
        }
}

void GenerateParticleLayout(ParticleVectors& start, ParticleVectors& driftDirection,
                            ParticleVectors& lateDrift, HitParticles& hitParticles) {
    LayoutRandom random;
    random.Seed(0);
    for (auto& p : start) {
        Draw3 d = NextDraw3(random);
        p = glm::vec3(float(d.d3 % 50 - 25), float(d.d2 % 50 - 25), float(d.d1 % 50 - 25));
    }
    for (auto& p : driftDirection) {
        Draw3 d = NextDraw3(random);
        glm::vec3 u(float(d.d3 % 100 + 1) / 100.0f, float(d.d2 % 100 + 1) / 100.0f,
                    float(d.d1 % 100 + 1) / 100.0f);
        float length = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
        p = u * (1.0f / length);  // every component is at least 0.01: never 0
    }
    for (auto& p : lateDrift) {
        Draw3 d = NextDraw3(random);
        p = glm::vec3(float(d.d3 % 50 + 1) / 100.0f, float(d.d2 % 100 + 1) / 100.0f,
                      float(d.d1 % 50 + 1) / 100.0f);
    }
    for (auto& h : hitParticles) h = random.Next() % kParticleCount;
}

BallPoints::BallPoints() {
    // Both angles run 0, 7.2, 14.4, ... in float while below 360: 50 values.
    float a = 0.0f;
    for (int i = 0; i < kBallSteps; ++i, a += 7.2f) {
        float radians = a * kDegreesToRadians;
        sinA[i] = sinB[i] = SinF(radians);
        cosA[i] = cosB[i] = CosF(radians);
    }
}

void BallPoints::Fill(float radius, ParticleVectors& out) const {
    for (int ia = 0; ia < kBallSteps; ++ia)
        for (int ib = 0; ib < kBallSteps; ++ib)
            out[kBallSteps * ia + ib] = glm::vec3(radius * cosB[ib] * sinA[ia], radius * cosA[ia],
                                                  radius * sinB[ib] * sinA[ia]);
}

glm::vec3 FloorCubeCenter(const glm::vec3& grid, const glm::vec3& scatter, float r, float h, float y0) {
    float length = static_cast<float>(
        std::sqrt(static_cast<double>(grid.x * grid.x + grid.y * grid.y + grid.z * grid.z)));
    glm::vec3 p = scatter + (grid - scatter) * r;
    if (length > 0.0f) p += (grid * (1.0f / length)) * (h / length);
    p.y += y0;
    return p;
}

glm::mat4 FloorCubeMatrix(float t, const glm::vec3& center, const glm::vec3& spin,
                          const glm::vec3& size, float floorScale) {
    glm::mat4 m(1.0f);
    m = glm::rotate(m, glm::radians(t), glm::vec3(0, 1, 0));
    m = glm::translate(m, center);
    m = glm::rotate(m, glm::radians(spin.x + t), glm::vec3(1, 0, 0));
    m = glm::rotate(m, glm::radians(spin.y + t), glm::vec3(0, 1, 0));
    m = glm::rotate(m, glm::radians(spin.z + t), glm::vec3(0, 0, 1));
    m = glm::scale(m, size * floorScale);
    return m;
}

int FindHit(float beat) {
    if (!(beat >= kHitFirstBeat && beat < kHitEndBeat)) return -1;
    float windowStart = beat < 96.0f ? 80.0f : (beat < 112.0f ? 96.0f : 112.0f);
    int window = static_cast<int>(windowStart / kHitWindowBeats) - 5;
    for (int i = 0; i < kHitCount; ++i)
        if (std::fabs(beat - (kHitTimes[i] + windowStart)) < kHitTolerance) return kHitCount * window + i;
    return -1;
}

void DecayGlow(float* glow, int count) {
    for (int k = 0; k < count; ++k) {
        glow[k] *= kGlowDecay;
        if (glow[k] < kGlowFloor) glow[k] = 0.0f;
    }
}

glm::vec3 ParticlePosition(const glm::vec3& start, const glm::vec3& ball, float rb, float ds, float t,
                           float beat, const glm::vec3& driftDirection, const glm::vec3& lateDrift) {
    glm::vec3 base = start + (ball - start) * rb;
    if (beat < kHitFirstBeat) return base + driftDirection * ds * t;
    return base + lateDrift * ds * (beat - kHitFirstBeat);
}
