// Tunnel panel transforms: turn the rings' axis onto z, spin each panel to
// its place around the ring, push it out to the ring's radius.
#include "demo/TunnelLayout.h"

#include <glm/gtc/matrix_transform.hpp>

float TunnelRingDivisor(int ring) { return ring > 1 ? static_cast<float>(ring) : 1.0f; }

glm::mat4 TunnelPanelMatrix(int ring, int panel, float t, float r1, float r2) {
    float d = TunnelRingDivisor(ring);
    glm::mat4 m(1.0f);
    m = glm::rotate(m, glm::radians(90.0f), glm::vec3(1, 0, 0));
    m = glm::rotate(m, glm::radians(panel * kTunnelPanelAngle + t * kTunnelTurnPerBeat + r1 / d),
                    glm::vec3(0, 1, 0));
    m = glm::translate(m, glm::vec3(0.0f, ring * 10.0f - 315.0f, r2 / d + 50.0f));
    m = glm::scale(m, glm::vec3(4.0f, 4.0f, 4.0f));
    return m;
}
