#pragma once
#include <GL/glew.h>

#include <vector>

#include "IResource.h"
#include "MathUtils.h"

namespace VantorEngine {

// Vertex normals (location 2, 3 floats) in one static buffer object, with a CPU copy.
class NormalBuffer : public IResource {
public:
    explicit NormalBuffer(const std::vector<vec3>& data);
    ~NormalBuffer() override;

    // Enables the attribute and points it at this buffer.
    void bind() override;
    // Disables the attribute only; the buffer binding stays.
    void unbind() override;

    std::vector<vec3> _normals;
};

}  // namespace VantorEngine
