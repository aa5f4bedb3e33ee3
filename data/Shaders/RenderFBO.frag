#version 330 core
// Bloom copy pass (downsample to 512 x 512 and upsample back): a bilinear
// copy of the source at the destination's size.
//
// Uniform     Type       Meaning          Range
// TexSampler  sampler2D  source, unit 0   -
//
// Reads: four texels per pixel, the bilinear filter of the four nearest
// texels (edges clamped), as the GL_LINEAR, clamp-to-edge sampler would
// filter. Source and destination differ in size here (the window's and
// 512 x 512), so no read can be saved.

in vec2 vUV;

uniform sampler2D TexSampler;

out vec4 FragColor;

// Bilinear read built from texelFetch. The passes filter by hand: the
// sampler carries the renderer's anisotropy, which Mesa's llvmpipe turns
// into an elliptical filter over several texels (softening even a 1:1
// copy), and a plain bilinear read there costs about four texel reads.
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
