#version 330 core
// Composite: the sharp image where in focus, the blurred one where not, plus the bloom, scaled
// by 2^exposure (exposure 0 keeps the brightness).
in vec2 UV;

uniform sampler2D colorTex;
uniform sampler2D DOF_blurValueTex;
uniform sampler2D DOF_gaussianTex;
uniform sampler2D BLOOM_gaussian;
uniform float exposure;

out vec4 FragColor;

void main() {
    vec3 sharp = texture(colorTex, UV).rgb;
    vec3 blurred = texture(DOF_gaussianTex, UV).rgb;
    float blur = texture(DOF_blurValueTex, UV).r;
    vec3 bloom = texture(BLOOM_gaussian, UV).rgb;
    vec3 color = (mix(sharp, blurred, blur) + bloom) * exp2(exposure);
    FragColor = vec4(clamp(color, 0.0, 1.0), 1.0);
}
