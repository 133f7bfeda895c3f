#pragma once
#include <GL/glew.h>

#include <vector>

#include "IResource.h"
#include "MathUtils.h"

namespace VantorEngine {

// Vertex texture coordinates (location 1, 2 floats) in one static buffer object, with a CPU copy.
class UVBuffer : public IResource {
public:
    explicit UVBuffer(const std::vector<vec2>& data);
    ~UVBuffer() override;

    // Enables the attribute and points it at this buffer.
    void bind() override;
    // Disables the attribute only; the buffer binding stays.
    void unbind() override;

    std::vector<vec2> _uvs;
};

}  // namespace VantorEngine
