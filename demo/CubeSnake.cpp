// The cube snake in both variants: the per-cube transform and the draw loop.
#include "demo/CubeSnake.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

#include "demo/LayoutTrig.h"
#include "demo/SceneContext.h"

glm::mat4 SnakeCubeMatrix(SnakeVariant variant, float a, float sp, float sh, float t) {
    float theta = (sp * t + a) * kDegreesToRadians;
    float s8 = 8.0f * SinF(theta);
    float c8 = 8.0f * CosF(theta);
    glm::vec3 position;
    glm::vec3 axis;
    if (variant == SnakeVariant::Rain) {
        position = glm::vec3(s8, sh + 10.0f * theta, c8);
        axis = glm::vec3(0, 1, 0);
    } else {
        position = glm::vec3(s8, sh + c8, 10.0f * theta);
        axis = glm::vec3(0, 0, 1);
    }
    // The pulse takes a / 90 as radians on purpose: a slow wave down the body.
    float s = std::fabs(2.0f * SinF(a / 90.0f + t * 0.25f)) + 1.0f;
    glm::mat4 m(1.0f);
    m = glm::translate(m, position);
    m = glm::rotate(m, glm::radians((a / 90.0f) * t), axis);
    m = glm::scale(m, glm::vec3(s, s, s));
    return m;
}

void CubeSnake(SnakeVariant variant, const LitUniforms& uniforms, const TrackHandle* snakeSpeed,
               const TrackHandle* snakeHeight, float t, const glm::mat4& view) {
    // The float sum passes 360 just after the 50th step.
    int drawn = 0;
    for (float a = 0.0f; a < 360.0f && drawn < kSnakeCubeCount; a += kSnakeAngleStep, ++drawn) {
        float sp = ReadTrack(snakeSpeed);
        float sh = ReadTrack(snakeHeight);
        DrawLitObject(uniforms, SnakeCubeMatrix(variant, a, sp, sh, t), view, kSnakeDiffuse,
                      CubeMesh::kVertexCount);
    }
}
