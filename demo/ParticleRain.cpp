// The particle rain effect: Init builds the buffers and the seeded layout,
// Render draws the floor, the rain snake and the particle sprites.
#include "demo/ParticleRain.h"

#include <cmath>

#include <glm/gtc/type_ptr.hpp>

#include "demo/CubeSnake.h"
#include "demo/SceneContext.h"
#include "render/IRenderer.h"
#include "render/Texture.h"
#include "render/gl.h"
#include "sync/SyncSystem.h"

namespace {
const glm::vec3 kLightPos{0.0f, 5.0f, 0.0f};
const glm::vec3 kFloorDiffuse{0.49f, 0.6f, 0.71f};
const glm::vec4 kParticleColor{0.27f, 0.62f, 0.92f, 0.75f};

void PointParticleAttributes() {
    const GLsizei stride = sizeof(ParticleVertex);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glVertexAttribPointer(1, 1, GL_FLOAT, GL_TRUE, stride, reinterpret_cast<const void*>(12));
    glVertexAttribPointer(2, 1, GL_FLOAT, GL_TRUE, stride, reinterpret_cast<const void*>(16));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
}
}  // namespace

ParticleRain::ParticleRain() { name = "Particle Rain Effect"; }

bool ParticleRain::Init() {
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    floorCubeBuffer = CreateLitBuffer(CubeMesh());
    GenerateFloorLayout(floorScatter, floorGrid, floorSpin, floorSize);
    snakeCubeBuffer = CreateLitBuffer(CubeMesh());

    particleCount = kParticleCount;
    particleVertices = std::make_unique<ParticleVertex[]>(particleCount);
    for (int k = 0; k < particleCount; ++k) particleVertices[k] = ParticleVertex{0, 0, 0, 1, 1};
    GenerateParticleLayout(particleStart, driftDirection, lateDrift, hitParticles);
    glow.fill(0.0f);
    ballPoints.Fill(1.0f, ballTarget);

    glGenBuffers(1, &particleBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, particleBuffer);
    glBufferData(GL_ARRAY_BUFFER, particleCount * sizeof(ParticleVertex), particleVertices.get(),
                 GL_DYNAMIC_DRAW);
    PointParticleAttributes();
    hitTimes = kHitTimes;
    glBindVertexArray(0);

    sampler = MakeClampedSampler(GL_LINEAR_MIPMAP_LINEAR);

    if (!program.Load("./Shaders/EmitterParticle.vert", "./Shaders/EmitterParticle.frag",
                      "./Shaders/PointSprite.geom"))
        return false;
    if (!floorProgram.Load("./Shaders/Phong.vert", "./Shaders/Phong.frag", nullptr)) return false;
    if (!snakeProgram.Load("./Shaders/Phong.vert", "./Shaders/Phong.frag", nullptr)) return false;

    texSamplerLocation = program.GetUniformLocation("TexSampler");
    texture = gRenderer ? gRenderer->LoadTexture("./Textures/Floater2.png", false) : nullptr;
    colorLocation = program.GetUniformLocation("Color");
    floorLit = FindLitUniforms(floorProgram);
    snakeLit = FindLitUniforms(snakeProgram);

    randToBall = FetchTrack("RandToBall");
    driftSpeed = FetchTrack("DriftSpeed");
    ballRadius = FetchTrack("BallRadius");
    particleGlow = FetchTrack("ParticleGlow");
    floorHeight = FetchTrack("Floor Height");
    floorHole = FetchTrack("Floor Hole");
    floorScale = FetchTrack("Floor Scale");
    randToFloor = FetchTrack("RandToFloor");
    snakeHeight = FetchTrack("Snake Height");
    snakeSpeed = FetchTrack("Snake Speed");
    return true;
}

void ParticleRain::Render(float time) {
    RenderFloor(time);
    RenderSnake(time);
    RenderParticles(time);
}

void ParticleRain::RenderFloor(float t) {
    float fs = ReadTrack(floorScale);
    if (!(fs > 0.0f)) return;  // 0, negative and NaN hide the floor
    floorProgram.Bind(t);
    UseLitBuffer(floorCubeBuffer);
    glUniform3fv(floorLit.lightPos, 1, glm::value_ptr(kLightPos));
    glm::mat4 view = CameraViewMatrix();
    for (int k = 0; k < kFloorCubeCount; ++k) {
        float h = ReadTrack(floorHole);
        float y0 = ReadTrack(floorHeight);
        float r = ReadTrack(randToFloor);
        glm::vec3 center = FloorCubeCenter(floorGrid[k], floorScatter[k], r, h, y0);
        DrawLitObject(floorLit, FloorCubeMatrix(t, center, floorSpin[k], floorSize[k], fs), view,
                      kFloorDiffuse, CubeMesh::kVertexCount);
    }
}

void ParticleRain::RenderSnake(float t) {
    snakeProgram.Bind(t);
    UseLitBuffer(snakeCubeBuffer);
    glUniform3fv(snakeLit.lightPos, 1, glm::value_ptr(kLightPos));
    glm::mat4 view = CameraViewMatrix();
    CubeSnake(SnakeVariant::Rain, snakeLit, snakeSpeed, snakeHeight, t, view);
}

void ParticleRain::UpdateParticles(float t) {
    ballPoints.Fill(ReadTrack(ballRadius), ballTarget);
    AdvanceGlow();
    float beat = MusicPosition();
    for (int k = 0; k < kParticleCount; ++k) {
        float rb = ReadTrack(randToBall);
        float ds = ReadTrack(driftSpeed);
        glm::vec3 p = ParticlePosition(particleStart[k], ballTarget[k], rb, ds, t, beat,
                                       driftDirection[k], lateDrift[k]);
        float g = 1.0f + glow[k];
        particleVertices[k] = ParticleVertex{p.x, p.y, p.z, g, g};
    }
}

void ParticleRain::AdvanceGlow() {
    DecayGlow(glow.data(), kParticleCount);
    int hit = FindHit(MusicPosition());
    if (hit >= 0) glow[hitParticles[hit]] += kHitGlow;
}

void ParticleRain::RenderParticles(float t) {
    glDepthMask(GL_FALSE);
    program.Bind(t);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(texSamplerLocation, 0);
    glBindSampler(0, sampler);
    // Without any texture (no file, no fallback) the sprites sample texture 0.
    glBindTexture(GL_TEXTURE_2D, texture ? texture->id : 0);
    glBindBuffer(GL_ARRAY_BUFFER, particleBuffer);
    PointParticleAttributes();
    UpdateParticles(t);
    glBufferSubData(GL_ARRAY_BUFFER, 0, particleCount * sizeof(ParticleVertex), particleVertices.get());
    glUniform4fv(colorLocation, 1, glm::value_ptr(kParticleColor));
    glDrawArrays(GL_POINTS, 0, particleCount);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
    glDepthMask(GL_TRUE);
}

void ParticleRain::Rewind() {
    time = 0;
    glow.fill(0.0f);
}

void ParticleRain::Shutdown() {
    ReleaseTrack(randToBall);
    ReleaseTrack(driftSpeed);
    ReleaseTrack(ballRadius);
    ReleaseTrack(particleGlow);
    ReleaseTrack(floorHeight);
    ReleaseTrack(floorHole);
    ReleaseTrack(floorScale);
    ReleaseTrack(randToFloor);
    ReleaseTrack(snakeHeight);
    ReleaseTrack(snakeSpeed);
    program.Delete();
    floorProgram.Delete();
    snakeProgram.Delete();
    particleVertices.reset();
    glDeleteSamplers(1, &sampler);
    glDeleteBuffers(1, &particleBuffer);
    glDeleteBuffers(1, &floorCubeBuffer);
    glDeleteBuffers(1, &snakeCubeBuffer);
    glDeleteVertexArrays(1, &vertexArray);
    sampler = particleBuffer = floorCubeBuffer = snakeCubeBuffer = vertexArray = 0;
}
