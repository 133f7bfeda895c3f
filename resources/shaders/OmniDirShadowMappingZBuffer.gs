#version 330 core
// Renders every triangle once into each of the six layers of the cube shadow map.
layout(triangles) in;
layout(triangle_strip, max_vertices = 18) out;

uniform mat4 cubemapMatrix[6];

out vec4 FragPos;

void main() {
    for (int face = 0; face < 6; ++face) {
        for (int i = 0; i < 3; ++i) {
            gl_Layer = face;
            FragPos = gl_in[i].gl_Position;
            gl_Position = cubemapMatrix[face] * FragPos;
            EmitVertex();
        }
        EndPrimitive();
    }
}
