#version 330 core
// Bloom blur, vertical half: a 25-tap Gaussian (sigma 5 texels) along one
// axis of the 512 x 512 glow, so the kernel is the same whatever the window
// size. Taps past the border repeat the border texel.
//
// Uniform     Type       Meaning                    Range
// TexSampler  sampler2D  the glow to blur, unit 0   -
//
// Reads: 25 texels per pixel, one per tap. Source and destination have the
// same size, so every tap is a whole texel and needs no filtering. Reads go
// through texelFetch, not the sampler: with the renderer's anisotropy Mesa's
// llvmpipe makes every filtered read an elliptical filter over several
// texels, and even without it one bilinear read costs there about what four
// texel reads cost, so pairing taps into bilinear reads would not pay.

uniform sampler2D TexSampler;

out vec4 FragColor;

const int kRadius = 12;
// exp(-i^2 / (2 * 5^2)), normalised over -12..12.
const float kWeights[13] = float[13](0.0807799, 0.0791804, 0.0745693, 0.0674731, 0.0586583, 0.0489955,
                                     0.0393198, 0.0303176, 0.0224598, 0.0159862, 0.0109324, 0.0071831,
                                     0.0045346);

void main() {
    ivec2 centre = ivec2(gl_FragCoord.xy);
    int last = textureSize(TexSampler, 0).y - 1;
    vec3 sum = texelFetch(TexSampler, centre, 0).rgb * kWeights[0];
    for (int i = 1; i <= kRadius; ++i) {
        ivec2 before = centre, after = centre;
        before.y = max(centre.y - i, 0);
        after.y = min(centre.y + i, last);
        sum += (texelFetch(TexSampler, before, 0).rgb + texelFetch(TexSampler, after, 0).rgb) * kWeights[i];
    }
    FragColor = vec4(sum, 1.0);
}
