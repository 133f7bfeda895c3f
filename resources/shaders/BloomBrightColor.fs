#version 330 core
// Bright parts of the image: pixels above a luminance threshold, faded in softly.
in vec2 UV;

uniform sampler2D Tex0;

out vec4 FragColor;

const vec3 kLuminance = vec3(0.2126, 0.7152, 0.0722);
const float kThresholdLow = 0.7;
const float kThresholdHigh = 0.9;

void main() {
    vec3 color = texture(Tex0, UV).rgb;
    float brightness = dot(color, kLuminance);
    FragColor = vec4(color * smoothstep(kThresholdLow, kThresholdHigh, brightness), 1.0);
}
