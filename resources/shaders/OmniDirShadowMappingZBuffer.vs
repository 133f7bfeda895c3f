#version 330 core
// Cube shadow pass: world-space positions; the geometry shader projects them per face.
layout(location = 0) in vec3 Position;

uniform mat4 modelMatrix;

void main() {
    gl_Position = modelMatrix * vec4(Position, 1.0);
}
