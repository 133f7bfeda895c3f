#version 330 core
// Stores the distance to the light, mapped linearly from nearFar onto 0..1, so the lighting
// pass can compare distances in any direction without undoing a perspective depth.
in vec4 FragPos;

uniform vec4 lightPos;
uniform vec2 nearFar;

void main() {
    float distanceToLight = length(FragPos.xyz - lightPos.xyz);
    gl_FragDepth = clamp((distanceToLight - nearFar.x) / (nearFar.y - nearFar.x), 0.0, 1.0);
}
