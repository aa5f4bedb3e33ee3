#version 330 core
#extension GL_ARB_derivative_control : enable
// Bloom blur, horizontal half: a 25-tap Gaussian (sigma 5 texels) along one
// axis of the 512 x 512 glow, so the kernel is the same whatever the window
// size. Taps past the border repeat the border texel.
//
// Uniform     Type       Meaning                    Range
// TexSampler  sampler2D  the glow to blur, unit 0   -
//
// Reads: 13 texels per pixel where fine derivatives exist, else 25. Source
// and destination have the same size, so every tap is a whole texel and
// needs no filtering; reads go through texelFetch, not the sampler, whose
// anisotropy makes every filtered read an elliptical filter over several
// texels on Mesa's llvmpipe (the whole bloom ran ten times slower so).
// Pixels are shaded in 2 x 2 groups, and the two neighbours along the blur
// axis need taps one texel apart: each reads every other texel (its own
// centre and offsets -12, -10 .. +12) and takes the other half from its
// neighbour. The fine derivative along the axis is the right pixel's value
// minus the left one's, so a pixel's own read plus or minus it is the value
// its neighbour read, exact up to float rounding (about 1e-8, far below an
// 8-bit step). The clamp at the border is applied to each read, so a
// neighbour's read is the clamped tap this pixel needs as well.

uniform sampler2D TexSampler;

out vec4 FragColor;

const int kRadius = 12;
// exp(-i^2 / (2 * 5^2)), normalised over -12..12; 0 at 13, outside the kernel.
const float kWeights[14] = float[14](0.0807799, 0.0791804, 0.0745693, 0.0674731, 0.0586583, 0.0489955,
                                     0.0393198, 0.0303176, 0.0224598, 0.0159862, 0.0109324, 0.0071831,
                                     0.0045346, 0.0);
const ivec2 kAxis = ivec2(1, 0);

// The texel `offset` steps along the axis from `centre`, clamped to the border.
vec3 Tap(ivec2 centre, int offset, ivec2 last) {
    return texelFetch(TexSampler, clamp(centre + kAxis * offset, ivec2(0), last), 0).rgb;
}

void main() {
    ivec2 last = textureSize(TexSampler, 0) - 1;
    ivec2 centre = ivec2(gl_FragCoord.xy);
    vec3 sum = vec3(0.0);
#ifdef GL_ARB_derivative_control
    // The left pixel of the pair (even x) has its neighbour at +1.
    bool left = (centre.x & 1) == 0;
    for (int k = -kRadius; k <= kRadius; k += 2) {
        vec3 own = Tap(centre, k, last);
        vec3 across = dFdxFine(own);
        // The neighbour read its tap k, which is tap k + 1 from the left
        // pixel and tap k - 1 from the right one.
        vec3 neighbour = left ? own + across : own - across;
        sum += own * kWeights[abs(k)] + neighbour * (left ? kWeights[abs(k + 1)] : kWeights[abs(k - 1)]);
    }
#else
    for (int i = -kRadius; i <= kRadius; ++i) sum += Tap(centre, i, last) * kWeights[abs(i)];
#endif
    FragColor = vec4(sum, 1.0);
}
