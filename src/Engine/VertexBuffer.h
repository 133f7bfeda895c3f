#pragma once
#include <GL/glew.h>

#include <vector>

#include "IResource.h"
#include "MathUtils.h"

namespace VantorEngine {

// Vertex positions (location 0, 3 floats); also draws the mesh in one static buffer object, with a CPU copy.
class VertexBuffer : public IResource {
public:
    explicit VertexBuffer(const std::vector<vec3>& data);
    ~VertexBuffer() override;

    // Enables the attribute and points it at this buffer.
    void bind() override;
    // Disables the attribute only; the buffer binding stays.
    void unbind() override;

    // glDrawArrays over all vertices: GL_LINES in wireframe mode, GL_TRIANGLES otherwise.
    void draw();
    // glDrawArrays over all vertices as GL_TRIANGLES whatever wireframeMode says: depth-only
    // shadow passes need filled surfaces, and a triangles-only geometry shader takes no lines.
    void drawTriangles();

    std::vector<vec3> _vertices;
};

}  // namespace VantorEngine
