#include "TangentBuffer.h"

namespace VantorEngine {

namespace {
constexpr GLuint kAttributeLocation = 3;
constexpr GLint kComponents = 3;
}  // namespace

TangentBuffer::TangentBuffer(const std::vector<vec3>& data) : _tangents(data) {
    glGenBuffers(1, &_id);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(_tangents.size() * sizeof(vec3)), _tangents.data(),
                 GL_STATIC_DRAW);
}

TangentBuffer::~TangentBuffer() { glDeleteBuffers(1, &_id); }

void TangentBuffer::bind() {
    glEnableVertexAttribArray(kAttributeLocation);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glVertexAttribPointer(kAttributeLocation, kComponents, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void TangentBuffer::unbind() { glDisableVertexAttribArray(kAttributeLocation); }

}  // namespace VantorEngine
