#version 330 core
// Test reference: the straightforward version of the shipped shader, every
// read a hand-made bilinear filter of four texels (or one texel per blur
// tap). The shipped shaders must draw the same picture.
// Bloom blur, vertical half: a 25-tap Gaussian (sigma 5 texels) along one
// axis of the 512 x 512 glow, read texel by texel (source and destination
// have the same size), so the kernel is the same whatever the window size.
// texelFetch bypasses the sampler's anisotropic filtering, which Mesa's
// llvmpipe would otherwise apply to every tap at several times the cost.
//
// Uniform     Type       Meaning                    Range
// TexSampler  sampler2D  the glow to blur, unit 0   -

in vec2 vUV;

uniform sampler2D TexSampler;

out vec4 FragColor;

const int kRadius = 12;
// exp(-i^2 / (2 * 5^2)), normalised over -12..12.
const float kWeights[13] = float[13](0.0807799, 0.0791804, 0.0745693, 0.0674731, 0.0586583, 0.0489955,
                                     0.0393198, 0.0303176, 0.0224598, 0.0159862, 0.0109324, 0.0071831,
                                     0.0045346);

void main() {
    ivec2 size = textureSize(TexSampler, 0);
    ivec2 last = size - 1;
    ivec2 centre = clamp(ivec2(vUV * vec2(size)), ivec2(0), last);
    vec3 sum = vec3(0.0);
    for (int i = -kRadius; i <= kRadius; ++i) {
        ivec2 at = clamp(centre + ivec2(0, 1) * i, ivec2(0), last);
        sum += texelFetch(TexSampler, at, 0).rgb * kWeights[abs(i)];
    }
    FragColor = vec4(sum, 1.0);
}
