#version 330 core
// Shading pass: world-space position and normal for the lighting, shadow-map coordinates
// for the shadow lookup.
layout(location = 0) in vec3 vertexPosition_modelspace;
layout(location = 1) in vec2 vertexUV;
layout(location = 2) in vec3 vertexNormal_modelspace;

uniform mat4 MVP;
uniform mat4 M;
uniform mat4 V;
uniform mat4 LightBiasMVP;
uniform vec2 uTextureTiling;

out vec2 UV;
out vec3 Position_worldspace;
out vec3 Normal_worldspace;
out vec4 ShadowCoord;
out float ViewDepth;

void main() {
    vec4 position = vec4(vertexPosition_modelspace, 1.0);
    gl_Position = MVP * position;
    vec4 world = M * position;
    Position_worldspace = world.xyz;
    // The normal matrix keeps normals perpendicular under non-uniform scales.
    Normal_worldspace = mat3(transpose(inverse(M))) * vertexNormal_modelspace;
    ShadowCoord = LightBiasMVP * position;
    ViewDepth = -(V * world).z;
    UV = vertexUV * uTextureTiling;
}
