#version 330 core
// Loading bar colours: Progress -1 draws the frame in Color; 0..100 fills that
// share of the bar from the left in Color and leaves the rest dark grey.
uniform vec4 Color;
uniform float Progress;

in float fill;

out vec4 fragColor;

void main() {
    if (Progress < 0.0 || fill * 100.0 <= Progress)
        fragColor = Color;
    else
        fragColor = vec4(0.25, 0.25, 0.25, 1.0);
}
