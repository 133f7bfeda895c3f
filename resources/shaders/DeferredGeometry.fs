#version 330 core
// Fills the geometry buffer: draw buffer 0 positions, 1 colours, 2 normals.
in vec2 TexCoord0;
in vec3 Normal0;
in vec3 WorldPos0;

uniform sampler2D gColorMap;

layout(location = 0) out vec3 WorldPosOut;
layout(location = 1) out vec3 DiffuseOut;
layout(location = 2) out vec3 NormalOut;

void main() {
    WorldPosOut = WorldPos0;
    DiffuseOut = texture(gColorMap, TexCoord0).rgb;
    NormalOut = normalize(Normal0);
}
