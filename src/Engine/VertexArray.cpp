#include "VertexArray.h"

namespace VantorEngine {

VertexArray::VertexArray() {
    glGenVertexArrays(1, &_id);
    glBindVertexArray(_id);
}

VertexArray::~VertexArray() { glDeleteVertexArrays(1, &_id); }

void VertexArray::bind() {}

void VertexArray::unbind() {}

}  // namespace VantorEngine
