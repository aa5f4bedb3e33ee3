#version 330 core
// Bloom blur, horizontal half: a 25-tap Gaussian (sigma 5 texels) along one
// axis of the 512 x 512 glow. The texel size comes from the source itself, so
// the kernel is the same whatever the window size.
//
// Uniform     Type       Meaning                    Range
// TexSampler  sampler2D  the glow to blur, unit 0   -

in vec2 vUV;

uniform sampler2D TexSampler;

out vec4 FragColor;

const int kRadius = 12;
const float kSigma = 5.0;

void main() {
    vec2 texelStep = vec2(1.0, 0.0) / vec2(textureSize(TexSampler, 0));
    vec3 sum = vec3(0.0);
    float total = 0.0;
    for (int i = -kRadius; i <= kRadius; ++i) {
        float w = exp(-float(i * i) / (2.0 * kSigma * kSigma));
        sum += texture(TexSampler, vUV + texelStep * float(i)).rgb * w;
        total += w;
    }
    FragColor = vec4(sum / total, 1.0);
}
