#version 330 core
// Lighting passes: a light volume (point light) or the screen quad with the identity
// (directional light); the fragment shaders find their texel from gl_FragCoord.
layout(location = 0) in vec3 Position;

uniform mat4 uWVP;

void main() {
    gl_Position = uWVP * vec4(Position, 1.0);
}
