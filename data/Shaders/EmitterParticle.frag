#version 330 core
// Particle sprites: fragment stage. The soft round glow texture tinted by
// "Color"; a particle raised by a hit (GlowB above 1) burns brighter and
// whiter. A radial mask keeps the edge soft even if the texture is opaque.
// Drawn with source-alpha blending and no depth writes, so sprites light up
// what lies behind them without hiding each other.
//
// Uniform     Type       Meaning                                  Range
// TexSampler  sampler2D  glow sprite (alpha falls to 0 at edge)   unit 0
// Color       vec4       tint (rgb) and opacity (a)               0..1; (0.27, 0.62, 0.92, 0.75) as drawn

in vec2 gCorner;
in float gGlow;

uniform sampler2D TexSampler;
uniform vec4 Color;

out vec4 FragColor;

void main() {
    vec2 uv = gCorner * 0.5 + 0.5;
    vec4 sprite = texture(TexSampler, uv);
    float raised = clamp(gGlow - 1.0, 0.0, 2.0);
    float mask = 1.0 - smoothstep(0.6, 1.0, length(gCorner));
    vec3 tint = mix(Color.rgb, vec3(1.0), clamp(raised * 0.8, 0.0, 0.7));
    vec3 color = sprite.rgb * tint * (1.0 + raised);
    float alpha = clamp(sprite.a * Color.a * mask * (1.0 + raised), 0.0, 1.0);
    FragColor = vec4(color, alpha);
}
