#version 330 core
// Writes "eyeTexture" unchanged; the caller's blend factors decide how it lands on the target.
in vec2 uv;

out vec4 fragColor;

uniform sampler2D eyeTexture;

void main() {
    fragColor = texture(eyeTexture, uv);
}
