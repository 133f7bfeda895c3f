#include "VertexBuffer.h"

#include "Engine.h"

namespace VantorEngine {

namespace {
constexpr GLuint kAttributeLocation = 0;
constexpr GLint kComponents = 3;
}  // namespace

VertexBuffer::VertexBuffer(const std::vector<vec3>& data) : _vertices(data) {
    glGenBuffers(1, &_id);
    // An empty position list keeps its name but gets no data store.
    if (_vertices.empty()) return;
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(_vertices.size() * sizeof(vec3)), _vertices.data(),
                 GL_STATIC_DRAW);
}

VertexBuffer::~VertexBuffer() { glDeleteBuffers(1, &_id); }

void VertexBuffer::bind() {
    glEnableVertexAttribArray(kAttributeLocation);
    glBindBuffer(GL_ARRAY_BUFFER, _id);
    glVertexAttribPointer(kAttributeLocation, kComponents, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void VertexBuffer::unbind() { glDisableVertexAttribArray(kAttributeLocation); }

void VertexBuffer::draw() {
    glDrawArrays(wireframeMode ? GL_LINES : GL_TRIANGLES, 0, static_cast<GLsizei>(_vertices.size()));
}

void VertexBuffer::drawTriangles() {
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(_vertices.size()));
}

}  // namespace VantorEngine
