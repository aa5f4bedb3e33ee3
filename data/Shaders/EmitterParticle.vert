#version 330 core
// Particle sprites: vertex stage. Passes each particle to PointSprite.geom in
// eye space together with its two glow values (both 1 + the particle's glow).
//
// Uniform     Type  Meaning          Set by
// ViewMatrix  mat4  camera view      renderer, every Bind
//
// Attributes: 0 position (vec3, world), 1 GlowA (float, 1 = resting, sizes
// the sprite), 2 GlowB (float, 1 = resting, brightens the sprite).

layout(location = 0) in vec3 Position;
layout(location = 1) in float GlowA;
layout(location = 2) in float GlowB;

uniform mat4 ViewMatrix;

out float vGlowA;
out float vGlowB;

void main() {
    gl_Position = ViewMatrix * vec4(Position, 1.0);
    vGlowA = GlowA;
    vGlowB = GlowB;
}
