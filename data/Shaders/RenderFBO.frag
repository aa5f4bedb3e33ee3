#version 330 core
// Bloom copy pass (downsample to 512 x 512 and upsample back): copies the
// source texture; the sampler's linear filter does the resampling.
//
// Uniform     Type       Meaning          Range
// TexSampler  sampler2D  source, unit 0   -

in vec2 vUV;

uniform sampler2D TexSampler;

out vec4 FragColor;

void main() {
    FragColor = vec4(texture(TexSampler, vUV).rgb, 1.0);
}
