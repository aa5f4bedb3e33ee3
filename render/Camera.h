// Camera: the view parameters the demo steers from tracks every frame. The
// view matrix orbits the offset point: T(eye) T(0,0,-distance) Rx Ry Rz T(-offset).
#pragma once

#include <glm/glm.hpp>

struct Camera {
    glm::vec3 eyeTranslation{0.0f, 0.0f, -12.0f};
    float pitch = 0;
    float yaw = 0;
    float roll = 0;
    glm::vec3 offset{0.0f, 0.0f, 0.0f};
    float distance = 12;

    // Writes the view matrix into out and returns &out; angles in degrees.
    glm::mat4* ViewMatrix(glm::mat4& out) const;
};
