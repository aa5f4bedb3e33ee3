#version 330 core
// Test reference: the straightforward version of the shipped shader, every
// read a hand-made bilinear filter of four texels (or one texel per blur
// tap). The shipped shaders must draw the same picture.
// Bloom mix onto the window: the sharp scene and the blurred glow, weighed,
// exposed through a tone curve, vignetted, flashed and faded.
//
//   x     = (scene * BloomDry + glow * BloomWet) * Exposure
//   toned = x * (1 + x / W^2) / (1 + x),  W = max(Exposure, 1)
//   (the curve maps the exposed scene white, x = Exposure, to 1. With
//   Exposure 1 it is exactly the identity; above 1 it lifts the mid-tones and
//   rolls highlights off softly instead of clipping them.)
//   then vignette, then Flash toward white, then Fade toward black (Fade wins).
//
// A missing track reads 0. Showing the scene normally needs BloomDry 1 and
// Exposure 1 (BloomWet 0.3-0.6 for a visible glow): with BloomDry 1, BloomWet
// 0, Exposure 1 and the rest 0 the window shows the scene unchanged.
//
// Uniform      Type       Meaning                         Sensible range   At 0
// TexSampler   sampler2D  sharp scene, unit 0             -                -
// TexSampler2  sampler2D  blurred glow, unit 1            -                -
// BloomDry     float      weight of the sharp scene       0..1, usually 1  no sharp scene (glow only)
// BloomWet     float      weight of the glow              0..1.5, ~0.5     no glow
// Exposure     float      brightness into the tone curve  0.5..2, 1 neutral  black picture
// Fade         float      fade to black                   0..1             no fade (1 = black)
// Flash        float      flash to white                  0..1             no flash (1 = white)
// Vignette     float      darkening toward the corners    0..1, ~0.4       none (1 = black corners)

in vec2 vUV;

uniform sampler2D TexSampler;
uniform sampler2D TexSampler2;
uniform float Fade;
uniform float BloomDry;
uniform float BloomWet;
uniform float Exposure;
uniform float Flash;
uniform float Vignette;

out vec4 FragColor;

// Bilinear read built from texelFetch. The passes filter by hand: the
// sampler carries anisotropic filtering, which Mesa's llvmpipe applies even
// to a 1:1 copy (softening it) at several times the cost. Exact at texel centres.
vec3 Bilinear(sampler2D source, vec2 uv) {
    ivec2 size = textureSize(source, 0);
    vec2 p = uv * vec2(size) - 0.5;
    vec2 cell = floor(p);
    vec2 f = p - cell;
    ivec2 last = size - 1;
    ivec2 a = clamp(ivec2(cell), ivec2(0), last);
    ivec2 b = clamp(ivec2(cell) + 1, ivec2(0), last);
    vec3 c00 = texelFetch(source, a, 0).rgb;
    vec3 c10 = texelFetch(source, ivec2(b.x, a.y), 0).rgb;
    vec3 c01 = texelFetch(source, ivec2(a.x, b.y), 0).rgb;
    vec3 c11 = texelFetch(source, b, 0).rgb;
    return mix(mix(c00, c10, f.x), mix(c01, c11, f.x), f.y);
}

void main() {
    vec3 scene = Bilinear(TexSampler, vUV);
    vec3 glow = Bilinear(TexSampler2, vUV);
    float exposure = max(Exposure, 0.0);
    vec3 x = (scene * max(BloomDry, 0.0) + glow * max(BloomWet, 0.0)) * exposure;
    float white = max(exposure, 1.0);
    vec3 color = x * (1.0 + x / (white * white)) / (1.0 + x);

    float corner = length(vUV - 0.5) * 1.41421356;  // 0 at the centre, 1 in a corner
    color *= 1.0 - clamp(Vignette, 0.0, 1.0) * smoothstep(0.3, 1.0, corner);

    color = mix(color, vec3(1.0), clamp(Flash, 0.0, 1.0));
    color = mix(color, vec3(0.0), clamp(Fade, 0.0, 1.0));
    FragColor = vec4(color, 1.0);
}
