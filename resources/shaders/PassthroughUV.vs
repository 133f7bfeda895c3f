#version 330 core
// Full-screen copy: the screen quad's corners (-1..1) become texture coordinates (0..1).
layout(location = 0) in vec3 vertexPosition;

out vec2 uv;

void main() {
    uv = vertexPosition.xy * 0.5 + 0.5;
    gl_Position = vec4(vertexPosition.xy, 0.0, 1.0);
}
