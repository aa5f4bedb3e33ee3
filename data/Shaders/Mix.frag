#version 330 core
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
//
// Reads: one texel of each texture per pixel (see Read), through texelFetch
// rather than the samplers: with the renderer's anisotropy Mesa's llvmpipe
// turns every filtered read into an elliptical filter over several texels,
// which softened the scene visibly even at 1:1.

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

// The texel under the pixel: while the window keeps the size the targets
// were made at, each pixel sits on its texel's centre, where a bilinear
// filter gives that texel alone, so one read is exact. After a resize the
// nearest texel stretches the picture over the window.
vec3 Read(sampler2D source, vec2 uv) {
    ivec2 size = textureSize(source, 0);
    return texelFetch(source, clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1), 0).rgb;
}

void main() {
    vec3 scene = Read(TexSampler, vUV);
    vec3 glow = Read(TexSampler2, vUV);
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
