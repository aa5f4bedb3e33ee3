#include "render/Camera.h"

#include <glm/gtc/matrix_transform.hpp>

glm::mat4* Camera::ViewMatrix(glm::mat4& out) const {
    out = glm::mat4(1.0f);
    out = glm::translate(out, eyeTranslation);
    out = glm::translate(out, glm::vec3(0.0f, 0.0f, -distance));
    out = glm::rotate(out, glm::radians(pitch), glm::vec3(1.0f, 0.0f, 0.0f));
    out = glm::rotate(out, glm::radians(yaw), glm::vec3(0.0f, 1.0f, 0.0f));
    out = glm::rotate(out, glm::radians(roll), glm::vec3(0.0f, 0.0f, 1.0f));
    out = glm::translate(out, -offset);
    return &out;
}
