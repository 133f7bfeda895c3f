#pragma once
#include <GL/glew.h>

#include <vector>

#include "IResource.h"
#include "MathUtils.h"

namespace VantorEngine {

// Vertex tangents (location 3, 3 floats) in one static buffer object, with a CPU copy.
class TangentBuffer : public IResource {
public:
    explicit TangentBuffer(const std::vector<vec3>& data);
    ~TangentBuffer() override;

    // Enables the attribute and points it at this buffer.
    void bind() override;
    // Disables the attribute only; the buffer binding stays.
    void unbind() override;

    std::vector<vec3> _tangents;
};

}  // namespace VantorEngine
