#version 330 core
// Stencil marking of a light volume: positions only.
layout(location = 0) in vec3 Position;

uniform mat4 gWVP;

void main() {
    gl_Position = gWVP * vec4(Position, 1.0);
}
