#include "UVBuffer.h"

namespace VantorEngine {

namespace {
constexpr GLuint kAttributeLocation = 1;
constexpr GLint kComponents = 2;
}  // namespace

UVBuffer::UVBuffer(const std::vector<vec2>& data) : _uvs(data) {
    glGenBuffers(1, &_id);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(_uvs.size() * sizeof(vec2)), _uvs.data(),
                 GL_STATIC_DRAW);
}

UVBuffer::~UVBuffer() { glDeleteBuffers(1, &_id); }

void UVBuffer::bind() {
    glEnableVertexAttribArray(kAttributeLocation);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glVertexAttribPointer(kAttributeLocation, kComponents, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void UVBuffer::unbind() { glDisableVertexAttribArray(kAttributeLocation); }

}  // namespace VantorEngine
