#version 330 core
// Blur amount per pixel, 0 (sharp) to 1 (fully blurred): how far the pixel's eye distance,
// normalised to 0..1 between near and far, lies from the focal distance, in focal ranges.
in vec2 UV;

uniform sampler2D Tex0;
uniform float focalDistance;
uniform float focalRange;
uniform vec2 nearFar;

out vec4 FragColor;

void main() {
    float n = nearFar.x;
    float f = nearFar.y;
    float ndc = texture(Tex0, UV).r * 2.0 - 1.0;
    float eyeDistance = 2.0 * n * f / (f + n - ndc * (f - n));
    float normalised = (eyeDistance - n) / (f - n);
    float blur = clamp(abs(normalised - focalDistance) / max(focalRange, 1e-4), 0.0, 1.0);
    FragColor = vec4(vec3(blur), 1.0);
}
