#version 330 core
// Tunnel panels: vertex stage. Works in world space: the panel's model matrix
// is a rotation, a translation and a uniform scale, so its 3x3 part turns the
// normal correctly. "NormalMatrix" is not used (the tunnel never sets it).
//
// Uniform           Type  Meaning                                Range / set by
// ProjectionMatrix  mat4  perspective projection                 renderer, every Bind
// ViewMatrix        mat4  camera view                            renderer, every Bind
// ModelMatrix       mat4  panel to world                         per panel
//
// Attributes: 0 position (vec3), 1 normal (vec3).

layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform mat4 ModelMatrix;

out vec3 vWorldPosition;
out vec3 vWorldNormal;
out vec3 vEyeWorld;

void main() {
    vec4 world = ModelMatrix * vec4(Position, 1.0);
    vWorldPosition = world.xyz;
    vWorldNormal = mat3(ModelMatrix) * Normal;
    vEyeWorld = (inverse(ViewMatrix) * vec4(0.0, 0.0, 0.0, 1.0)).xyz;
    gl_Position = ProjectionMatrix * ViewMatrix * world;
}
