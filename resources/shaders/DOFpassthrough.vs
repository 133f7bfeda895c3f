#version 330 core
// Full-screen quad for the post-processing passes: clip-space corners to texture coordinates.
layout(location = 0) in vec3 Position;

out vec2 UV;

void main() {
    gl_Position = vec4(Position.xy, 0.0, 1.0);
    UV = Position.xy * 0.5 + 0.5;
}
