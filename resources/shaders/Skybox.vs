#version 330 core
// The sky cube around the eye: the view matrix carries no translation, and the depth is
// forced to the far plane so the cube is never clipped there and stays behind everything.
layout(location = 0) in vec3 aPos;

uniform mat4 projection;
uniform mat4 view;

out vec3 TexCoords;

void main() {
    TexCoords = aPos;
    vec4 position = projection * view * vec4(aPos, 1.0);
    gl_Position = position.xyww;
}
