#version 330 core
// Lit cubes: fragment stage. Blinn-Phong with a half-Lambert diffuse term, a soft
// ambient floor, a white specular highlight and a faint rim, all in eye space.
// Light falls off gently with distance so the far end of the snake stays lit.
//
// Uniform   Type  Meaning                               Range
// Diffuse   vec3  surface colour (linear RGB)           0..1 per channel; the snake is (0.84, 0.43, 0.02)
// (LightPos, NormalMatrix: see Phong.vert)
//
// Output alpha is 1: lit objects are opaque.

in vec3 vEyePosition;
in vec3 vEyeNormal;
in vec3 vEyeLight;

uniform vec3 Diffuse;

out vec4 FragColor;

const float kAmbient = 0.2;
const float kShininess = 48.0;
const float kSpecular = 0.55;
const float kFalloff = 0.0004;  // 1 / (1 + k d^2): half strength at 50 units

void main() {
    vec3 n = normalize(vEyeNormal);
    vec3 toLight = vEyeLight - vEyePosition;
    float distance = length(toLight);
    vec3 l = toLight / max(distance, 1e-4);
    vec3 v = normalize(-vEyePosition);
    float attenuation = 1.0 / (1.0 + kFalloff * distance * distance);

    float nl = dot(n, l);
    float halfLambert = nl * 0.5 + 0.5;  // soft terminator: the unlit side still shows its shape
    float wrapped = halfLambert * halfLambert;
    vec3 h = normalize(l + v);
    float highlight = nl > 0.0 ? pow(max(dot(n, h), 0.0), kShininess) : 0.0;
    float rim = pow(1.0 - max(dot(n, v), 0.0), 3.0) * 0.25;

    vec3 color = Diffuse * (kAmbient + wrapped * attenuation * 0.95)
               + vec3(kSpecular * highlight * attenuation)
               + Diffuse * rim;
    FragColor = vec4(color, 1.0);
}
