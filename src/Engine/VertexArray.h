#pragma once
#include <GL/glew.h>

#include "IResource.h"

namespace VantorEngine {

// The vertex array object the core profile needs; created and bound by the constructor, so
// the one created last holds every attribute set by the buffer classes.
class VertexArray : public IResource {
public:
    VertexArray();
    ~VertexArray() override;

    // No GL call: the object created last stays bound.
    void bind() override;
    void unbind() override;
};

}  // namespace VantorEngine
