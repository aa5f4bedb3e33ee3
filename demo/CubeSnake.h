// The cube snake: 50 lit cubes on a helix of radius 8, sliding along it with
// "Snake Speed", lifted by "Snake Height", each spinning and pulsing in size.
// The rain variant winds around the y axis, the tunnel variant along z.
#pragma once

#include <glm/glm.hpp>

#include "demo/LitMesh.h"

struct TrackHandle;

enum class SnakeVariant { Rain, Tunnel };

constexpr int kSnakeCubeCount = 50;
constexpr float kSnakeAngleStep = 7.2f;  // degrees between neighbouring cubes
const glm::vec3 kSnakeDiffuse{0.84f, 0.43f, 0.02f};

// The model matrix of the cube at helix angle a (degrees) for speed sp,
// height sh and effect time t.
glm::mat4 SnakeCubeMatrix(SnakeVariant variant, float a, float sp, float sh, float t);

// Draws the 50 cubes. The caller has bound the lit program, made a cube
// buffer current and set "LightPos"; both tracks are read anew per cube.
void CubeSnake(SnakeVariant variant, const LitUniforms& uniforms, const TrackHandle* snakeSpeed,
               const TrackHandle* snakeHeight, float t, const glm::mat4& view);
