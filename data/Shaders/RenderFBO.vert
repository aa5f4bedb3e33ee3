#version 330 core
// Full-screen passes of the bloom: vertex stage shared by all five programs.
// The only input is the quad's clip-space corner; texture coordinates are
// derived from it (0..1 across the viewport). No uniforms.
//
// Attributes: 0 clip-space position (vec2).

layout(location = 0) in vec2 Position;

out vec2 vUV;

void main() {
    vUV = Position * 0.5 + 0.5;
    gl_Position = vec4(Position, 0.0, 1.0);
}
