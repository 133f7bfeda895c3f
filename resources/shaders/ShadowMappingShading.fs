#version 330 core
// Textured Blinn-Phong lighting by the directional light, with a PCF-softened shadow lookup.
struct BaseLight {
    vec3 DiffuseColor;
    vec3 AmbientColor;
    vec3 SpecularColor;
};
struct DirectionalLight {
    BaseLight Base;
};

in vec2 UV;
in vec3 Position_worldspace;
in vec3 Normal_worldspace;
in vec4 ShadowCoord;
in float ViewDepth;

uniform sampler2D uDiffuseTextureSampler;
uniform sampler2DShadow uShadowMap;
uniform DirectionalLight uDirectionalLight;
uniform vec3 invLightDirection_worldspace;
uniform vec3 uEyeWorldPos;
uniform float uShadowMappingSampleDistance;
uniform float uSpecularExponent;

out vec4 color;

// Smallest depth bias, in shadow-map depth units (0.01 world units for a 100-unit light box).
const float kMinimumBias = 0.0001;
const int kSampleCount = 16;
const vec2 kPoissonDisk[kSampleCount] = vec2[](
    vec2(-0.94201624, -0.39906216), vec2(0.94558609, -0.76890725),
    vec2(-0.09418410, -0.92938870), vec2(0.34495938, 0.29387760),
    vec2(-0.91588581, 0.45771432), vec2(-0.81544232, -0.87912464),
    vec2(-0.38277543, 0.27676845), vec2(0.97484398, 0.75648379),
    vec2(0.44323325, -0.97511554), vec2(0.53742981, -0.47373420),
    vec2(-0.26496911, -0.41893023), vec2(0.79197514, 0.19090188),
    vec2(-0.24188840, 0.99706507), vec2(-0.81409955, 0.91437590),
    vec2(0.19984126, 0.78641367), vec2(0.14383161, -0.14100790));

// Fraction of the light that reaches the fragment, 0 (shadowed) to 1 (lit).
float visibility(float cosTheta) {
    vec3 coord = ShadowCoord.xyz / ShadowCoord.w;
    // Slope-scaled bias: grazing surfaces need more to avoid self-shadowing. The floor covers
    // surfaces that face the light head-on, whose stored and reference depths differ only by
    // rounding, in either direction.
    float bias = clamp(0.0005 * tan(acos(cosTheta)), kMinimumBias, 0.005);
    // The kernel widens a little with the view distance so far shadows do not alias.
    float spread = (1.0 + 0.02 * max(ViewDepth, 0.0)) / uShadowMappingSampleDistance;
    float lit = 0.0;
    for (int i = 0; i < kSampleCount; ++i) {
        lit += texture(uShadowMap, vec3(coord.xy + kPoissonDisk[i] * spread, coord.z - bias));
    }
    return lit / float(kSampleCount);
}

void main() {
    vec3 albedo = texture(uDiffuseTextureSampler, UV).rgb;
    vec3 n = normalize(Normal_worldspace);
    vec3 l = normalize(invLightDirection_worldspace);
    float cosTheta = clamp(dot(n, l), 0.0, 1.0);
    float lit = visibility(max(cosTheta, 0.01));

    vec3 toEye = normalize(uEyeWorldPos - Position_worldspace);
    vec3 halfway = normalize(toEye + l);
    float specular = cosTheta > 0.0 ? pow(max(dot(n, halfway), 0.0), uSpecularExponent) : 0.0;

    vec3 ambient = uDirectionalLight.Base.AmbientColor * albedo;
    vec3 diffuse = uDirectionalLight.Base.DiffuseColor * albedo * cosTheta;
    vec3 highlight = uDirectionalLight.Base.SpecularColor * specular;
    color = vec4(ambient + lit * (diffuse + highlight), 1.0);
}
