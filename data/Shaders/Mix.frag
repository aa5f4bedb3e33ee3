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
// Reads: one texel of each texture per pixel at the targets' size, four
// after a window resize (see Read), through texelFetch
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

// The bilinear filter the samplers would apply, paying only for the texels
// it needs. While the window keeps the size the targets were made at, every
// pixel sits on its texel's centre, where the filter gives that texel alone:
// one read, exact. After a resize a pixel falls between texels and takes the
// usual four. The reads run in a loop whose length is per pixel because
// llvmpipe leaves a loop once no pixel of a group goes on, whereas both sides
// of a branch always run there: with a branch the single read at the created
// size would cost the four.
vec3 Read(sampler2D source, vec2 uv) {
    ivec2 size = textureSize(source, 0);
    ivec2 last = size - 1;
    vec2 p = uv * vec2(size) - 0.5;
    vec2 nearest = floor(p + 0.5);
    // At the created size interpolation misses a centre by float rounding
    // only. A pixel this close to a centre after a resize takes that texel:
    // the filtered value would differ by less than an 8-bit step.
    bool centred = all(lessThan(abs(p - nearest), vec2(1.0 / 256.0)));
    vec2 cell = centred ? nearest : floor(p);
    vec2 f = centred ? vec2(0.0) : p - cell;
    int reads = centred ? 1 : 4;
    vec3 sum = vec3(0.0);
    int i = 0;
    do {
        ivec2 corner = ivec2(i & 1, i >> 1);
        vec2 weight = mix(1.0 - f, f, vec2(corner));
        sum += texelFetch(source, clamp(ivec2(cell) + corner, ivec2(0), last), 0).rgb * (weight.x * weight.y);
    } while (++i < reads);
    return sum;
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
