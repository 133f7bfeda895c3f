#include "NormalBuffer.h"

namespace VantorEngine {

namespace {
constexpr GLuint kAttributeLocation = 2;
constexpr GLint kComponents = 3;
}  // namespace

NormalBuffer::NormalBuffer(const std::vector<vec3>& data) : _normals(data) {
    glGenBuffers(1, &_id);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(_normals.size() * sizeof(vec3)), _normals.data(),
                 GL_STATIC_DRAW);
}

NormalBuffer::~NormalBuffer() { glDeleteBuffers(1, &_id); }

void NormalBuffer::bind() {
    glEnableVertexAttribArray(kAttributeLocation);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glVertexAttribPointer(kAttributeLocation, kComponents, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void NormalBuffer::unbind() { glDisableVertexAttribArray(kAttributeLocation); }

}  // namespace VantorEngine
