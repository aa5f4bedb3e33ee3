#version 330 core
// Test reference: the straightforward version of the shipped shader, every
// read a hand-made bilinear filter of four texels (or one texel per blur
// tap). The shipped shaders must draw the same picture.
// Bloom copy pass (downsample to 512 x 512 and upsample back): a bilinear
// copy of the source at the destination's size.
//
// Uniform     Type       Meaning          Range
// TexSampler  sampler2D  source, unit 0   -

in vec2 vUV;

uniform sampler2D TexSampler;

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
    FragColor = vec4(Bilinear(TexSampler, vUV), 1.0);
}
