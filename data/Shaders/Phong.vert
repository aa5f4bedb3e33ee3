#version 330 core
// Lit cubes (floor and snake): vertex stage. Moves position, normal and the
// light into eye space for per-pixel Blinn-Phong shading in Phong.frag.
//
// Uniform           Type  Meaning                                   Range / set by
// ProjectionMatrix  mat4  perspective projection                    renderer, every Bind
// ViewMatrix        mat4  camera view                               renderer, every Bind
// ModelMatrix       mat4  object to world                           per cube
// NormalMatrix      mat4  transpose(inverse(View * Model))          per cube; only its 3x3 part is used
// LightPos          vec3  point light, world space                  per pass, e.g. (0, 5, 0)
//
// Attributes: 0 position (vec3), 1 normal (vec3).

layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform mat4 ModelMatrix;
uniform mat4 NormalMatrix;
uniform vec3 LightPos;

out vec3 vEyePosition;
out vec3 vEyeNormal;
out vec3 vEyeLight;

void main() {
    vec4 eye = ViewMatrix * ModelMatrix * vec4(Position, 1.0);
    vEyePosition = eye.xyz;
    vEyeNormal = mat3(NormalMatrix) * Normal;
    vEyeLight = (ViewMatrix * vec4(LightPos, 1.0)).xyz;
    gl_Position = ProjectionMatrix * eye;
}
