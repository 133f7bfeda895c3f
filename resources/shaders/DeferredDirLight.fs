#version 330 core
// The directional light over the geometry buffer; Direction points towards the light.
struct BaseLight {
    vec3 DiffuseColor;
    vec3 AmbientColor;
    vec3 SpecularColor;
};
struct DirectionalLight {
    BaseLight Base;
    vec3 Direction;
};

uniform sampler2D uPositionMap;
uniform sampler2D uColorMap;
uniform sampler2D uNormalMap;
uniform DirectionalLight uDirectionalLight;
uniform vec3 uEyeWorldPos;
uniform float uSpecularExponent;
uniform vec2 uScreenSize;

out vec4 FragColor;

void main() {
    vec2 texCoord = gl_FragCoord.xy / uScreenSize;
    vec3 normalSample = texture(uNormalMap, texCoord).xyz;
    // Pixels that no object covered keep the cleared normal (0, 0, 0): nothing to light.
    if (dot(normalSample, normalSample) < 0.25) discard;
    vec3 worldPos = texture(uPositionMap, texCoord).xyz;
    vec3 albedo = texture(uColorMap, texCoord).rgb;
    vec3 normal = normalize(normalSample);
    vec3 l = normalize(uDirectionalLight.Direction);

    float diffuseFactor = max(dot(normal, l), 0.0);
    vec3 diffuse = uDirectionalLight.Base.DiffuseColor * diffuseFactor;
    vec3 specular = vec3(0.0);
    if (diffuseFactor > 0.0) {
        vec3 toEye = normalize(uEyeWorldPos - worldPos);
        vec3 reflected = normalize(reflect(-l, normal));
        specular = uDirectionalLight.Base.SpecularColor *
                   pow(max(dot(toEye, reflected), 0.0), uSpecularExponent);
    }
    FragColor = vec4(albedo * (uDirectionalLight.Base.AmbientColor + diffuse + specular), 1.0);
}
