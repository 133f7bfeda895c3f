#version 330 core
// One point light over the geometry buffer, attenuated with distance and shadowed through the
// light's cube map of distances.
struct BaseLight {
    vec3 DiffuseColor;
    vec3 AmbientColor;
    vec3 SpecularColor;
};
struct Attenuation {
    float Constant;
    float Linear;
    float Exp;
};
struct PointLight {
    BaseLight Base;
    vec3 Position;
    Attenuation Atten;
};

uniform sampler2D uPositionMap;
uniform sampler2D uColorMap;
uniform sampler2D uNormalMap;
uniform samplerCubeShadow uCubeShadowMap;
uniform PointLight uPointLight;
uniform vec3 uEyeWorldPos;
uniform float uSpecularExponent;
uniform vec2 uScreenSize;
uniform vec2 uNearFar;

out vec4 FragColor;

// World units by which a receiver may lie behind the stored distance and still count as lit.
const float kShadowBias = 0.05;

float shadowFactor(vec3 lightToFragment) {
    float reference = (length(lightToFragment) - kShadowBias - uNearFar.x) / (uNearFar.y - uNearFar.x);
    return texture(uCubeShadowMap, vec4(lightToFragment, reference));
}

void main() {
    vec2 texCoord = gl_FragCoord.xy / uScreenSize;
    vec3 normalSample = texture(uNormalMap, texCoord).xyz;
    // Pixels that no object covered keep the cleared normal (0, 0, 0): nothing to light.
    if (dot(normalSample, normalSample) < 0.25) discard;
    vec3 worldPos = texture(uPositionMap, texCoord).xyz;
    vec3 albedo = texture(uColorMap, texCoord).rgb;
    vec3 normal = normalize(normalSample);

    vec3 lightToFragment = worldPos - uPointLight.Position;
    float distanceToLight = length(lightToFragment);
    vec3 l = -lightToFragment / max(distanceToLight, 1e-6);

    float diffuseFactor = max(dot(normal, l), 0.0);
    vec3 diffuse = uPointLight.Base.DiffuseColor * diffuseFactor;
    vec3 specular = vec3(0.0);
    if (diffuseFactor > 0.0) {
        vec3 toEye = normalize(uEyeWorldPos - worldPos);
        vec3 reflected = normalize(reflect(-l, normal));
        specular = uPointLight.Base.SpecularColor *
                   pow(max(dot(toEye, reflected), 0.0), uSpecularExponent);
    }
    float attenuation = uPointLight.Atten.Constant + uPointLight.Atten.Linear * distanceToLight +
                        uPointLight.Atten.Exp * distanceToLight * distanceToLight;
    float lit = shadowFactor(lightToFragment);
    vec3 light = uPointLight.Base.AmbientColor + lit * (diffuse + specular);
    FragColor = vec4(albedo * light / max(attenuation, 1e-6), 1.0);
}
