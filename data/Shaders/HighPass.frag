#version 330 core
// Bloom high pass: keeps what is brighter than the cutoff. A pixel's weight
// is how far its luminance rises above "BloomCutoff", rescaled so that white
// always passes in full: weight = clamp((lum - cutoff) / (1 - cutoff), 0, 1).
//
// Uniform      Type       Meaning                          Range
// TexSampler   sampler2D  the sharp scene, unit 0          -
// BloomCutoff  float      luminance below which nothing    0..0.95; 0.5-0.8 for a classic bloom;
//                         glows                            0 lets everything glow by its luminance
//
// Reads: one texel per pixel. Source and destination are both window-sized
// targets and the pass draws at the target's own size, so every pixel sits
// on the centre of the source texel with its own coordinates, where a
// bilinear filter gives that texel alone: reading it directly is exact.
// Reads go through texelFetch, never the sampler: the sampler carries the
// renderer's anisotropy, which Mesa's llvmpipe turns into an elliptical
// filter over several texels for every filtered read, softening even a 1:1
// copy at several times the cost.

uniform sampler2D TexSampler;
uniform float BloomCutoff;

out vec4 FragColor;

void main() {
    vec3 color = texelFetch(TexSampler, ivec2(gl_FragCoord.xy), 0).rgb;
    float luminance = dot(color, vec3(0.2126, 0.7152, 0.0722));
    float cutoff = clamp(BloomCutoff, 0.0, 0.95);
    float weight = clamp((luminance - cutoff) / (1.0 - cutoff), 0.0, 1.0);
    FragColor = vec4(color * weight, 1.0);
}
