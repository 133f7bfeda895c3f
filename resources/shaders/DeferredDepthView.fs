#version 330 core
// Debug view of the geometry buffer's depth: eye distance from near (black) to far (white).
uniform sampler2D uDepthMap;
uniform vec2 uNearFar;
uniform vec2 uScreenSize;

out vec4 FragColor;

void main() {
    float depth = texture(uDepthMap, gl_FragCoord.xy / uScreenSize).r;
    float ndc = depth * 2.0 - 1.0;
    float n = uNearFar.x;
    float f = uNearFar.y;
    float eyeDistance = 2.0 * n * f / (f + n - ndc * (f - n));
    FragColor = vec4(vec3((eyeDistance - n) / (f - n)), 1.0);
}
