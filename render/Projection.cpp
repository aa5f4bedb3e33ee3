// Projection matrices and loading bar geometry; see Projection.h.
#include "render/Projection.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

bool BuildPerspective(float width, float height, glm::mat4* out) {
    const float aspect = width / height;
    if (!(width > 0.0f) || !(height > 0.0f) || !std::isfinite(aspect)) return false;
    *out = glm::perspective(glm::radians(60.0f), aspect, 1.0f, 10000.0f);
    return true;
}

bool BuildOrtho(float width, float height, glm::mat4* out) {
    if (!(width > 0.0f) || !(height > 0.0f) || !std::isfinite(width) || !std::isfinite(height))
        return false;
    *out = glm::ortho(-width * 0.5f, width * 0.5f, -height * 0.5f, height * 0.5f, 1.0f, 10000.0f);
    return true;
}

LoadingBarQuads BuildLoadingBarQuads(float width, float height) {
    const float x = width * 0.5f - width * 0.125f;
    const float y = height * 0.5f - height / 2.05f;
    return LoadingBarQuads{{-x, y, -x, -y, x, y, x, -y},
                           {-x - 4, y + 4, -x - 4, -y - 4, x + 4, y + 4, x + 4, -y - 4}};
}
