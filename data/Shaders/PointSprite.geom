#version 330 core
// Particle sprites: geometry stage. Turns each eye-space point into a square
// facing the camera, 0.7 world units across at rest and growing with GlowA
// (a particle raised by a rhythm hit swells, then shrinks as its glow decays).
// A point with a non-finite position or glow emits nothing.
//
// Uniform           Type  Meaning                 Set by
// ProjectionMatrix  mat4  perspective projection  renderer, every Bind

layout(points) in;
layout(triangle_strip, max_vertices = 4) out;

uniform mat4 ProjectionMatrix;

in float vGlowA[];
in float vGlowB[];

out vec2 gCorner;
out float gGlow;

const float kRestHalfSize = 0.35;
const float kMaxGrowth = 6.0;

void main() {
    vec4 center = gl_in[0].gl_Position;
    float glowA = vGlowA[0];
    float glowB = vGlowB[0];
    if (any(isnan(center)) || any(isinf(center)) || isnan(glowA) || isinf(glowA) || isnan(glowB) ||
        isinf(glowB))
        return;
    float halfSize = kRestHalfSize * clamp(glowA, 0.0, kMaxGrowth);
    // Counter-clockwise as seen by the camera, so culling keeps it.
    const vec2 corners[4] = vec2[4](vec2(-1.0, -1.0), vec2(1.0, -1.0), vec2(-1.0, 1.0), vec2(1.0, 1.0));
    for (int i = 0; i < 4; ++i) {
        gCorner = corners[i];
        gGlow = glowB;
        gl_Position = ProjectionMatrix * (center + vec4(corners[i] * halfSize, 0.0, 0.0));
        EmitVertex();
    }
    EndPrimitive();
}
