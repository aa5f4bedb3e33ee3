#version 330 core
// Loading bar quads: positions in pixels from the window centre. The bar's
// left edge gets fill 0 and its right edge 1, so the fragment stage knows how
// far across the bar it is whatever the window size.
layout(location = 0) in vec2 position;

uniform mat4 ProjectionMatrix;

out float fill;

void main() {
    fill = position.x < 0.0 ? 0.0 : 1.0;
    gl_Position = ProjectionMatrix * vec4(position, 0.0, 1.0);
    // Mid depth range: the orthographic near plane lies at 1, behind z = 0.
    gl_Position.z = 0.0;
}
