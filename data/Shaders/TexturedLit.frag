#version 330 core
// Tunnel panels: fragment stage. A lit base colour mixed with the cube map as
// seen in the panel's mirror direction. "Reflection" is the head-on share of
// the mirror image; toward grazing angles it rises to 0.75 (Schlick's Fresnel),
// so the tunnel walls shine as they recede. Distance from the light darkens
// the far rings, which gives the tunnel its depth.
//
// Uniform     Type         Meaning                                  Range
// TexSampler  samplerCube  the environment cube map, unit 0         -
// LightPos    vec3         point light, world space                 on the axis, e.g. (0, 0, 5)
// Diffuse     vec3         panel base colour                        0..1 per channel, (0.49, 0.6, 0.71)
// Reflection  float        mirror share seen head-on                0..1; 0.2 as drawn; 0 = lit colour
//                                                                   head-on, mirror only at grazing angles

in vec3 vWorldPosition;
in vec3 vWorldNormal;
in vec3 vEyeWorld;

uniform samplerCube TexSampler;
uniform vec3 LightPos;
uniform vec3 Diffuse;
uniform float Reflection;

out vec4 FragColor;

const float kAmbient = 0.18;
const float kLightReach = 140.0;  // distance at which the light is at half strength

void main() {
    vec3 n = normalize(vWorldNormal);
    vec3 toEye = vEyeWorld - vWorldPosition;
    vec3 v = normalize(toEye);
    // Seen from behind (never for the panel side facing the eye): flip.
    if (dot(n, v) < 0.0) n = -n;

    vec3 toLight = LightPos - vWorldPosition;
    float distance = length(toLight);
    vec3 l = toLight / max(distance, 1e-4);
    float attenuation = 1.0 / (1.0 + (distance / kLightReach) * (distance / kLightReach));
    float nl = max(dot(n, l), 0.0);
    float highlight = pow(max(dot(n, normalize(l + v)), 0.0), 32.0);
    vec3 lit = Diffuse * (kAmbient + nl * attenuation) + vec3(0.4 * highlight * attenuation);

    vec3 environment = texture(TexSampler, reflect(-v, n)).rgb;
    float base = clamp(Reflection, 0.0, 1.0);
    float grazing = max(base, 0.75);
    float fresnel = base + (grazing - base) * pow(1.0 - max(dot(n, v), 0.0), 5.0);
    float depth = mix(0.35, 1.0, attenuation);
    vec3 color = mix(lit, environment * depth, fresnel);
    FragColor = vec4(color, 1.0);
}
