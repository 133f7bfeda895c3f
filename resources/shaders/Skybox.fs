#version 330 core
in vec3 TexCoords;

uniform samplerCube cubemap;

out vec4 FragColor;

void main() {
    FragColor = vec4(texture(cubemap, TexCoords).rgb, 1.0);
}
