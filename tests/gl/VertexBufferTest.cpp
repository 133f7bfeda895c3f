// Vertex attribute buffers and the vertex array object: upload, attribute state, draw mode.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "Engine.h"
#include "GLSLProgram.h"
#include "GLTestFixture.h"
#include "NormalBuffer.h"
#include "ResourceTestHelpers.h"
#include "TangentBuffer.h"
#include "UVBuffer.h"
#include "VertexArray.h"
#include "VertexBuffer.h"

using namespace VantorEngine;
using namespace ResourceTests;

namespace {

class VertexBufferTest : public ResourceGLTest {
protected:
    void TearDown() override { wireframeMode = false; }
};

GLint attribute(GLuint location, GLenum name) {
    GLint value = 0;
    glGetVertexAttribiv(location, name, &value);
    return value;
}

GLint bufferSize(GLuint buffer) {
    GLint size = -1;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    return size;
}

struct BufferCase {
    const char* name;
    std::function<std::unique_ptr<IResource>(size_t count)> make;
    GLuint location;
    GLint components;
};

class VertexAttributeBuffers : public VertexBufferTest, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(VertexAttributeBuffers, UploadBindAndUnbind) {
    const BufferCase& c = GetParam();
    std::unique_ptr<IResource> buffer = c.make(6);
    ASSERT_NE(buffer->_id, 0u);
    // Construction leaves the new buffer bound.
    EXPECT_EQ(getInteger(GL_ARRAY_BUFFER_BINDING), static_cast<GLint>(buffer->_id));
    EXPECT_EQ(bufferSize(buffer->_id), static_cast<GLint>(6 * c.components * sizeof(float)));
    GLint usage = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
    EXPECT_EQ(usage, GL_STATIC_DRAW);

    glBindBuffer(GL_ARRAY_BUFFER, 0);
    buffer->bind();
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_SIZE), c.components);
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_TYPE), GL_FLOAT);
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED), GL_FALSE);
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_STRIDE), 0);
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING), static_cast<GLint>(buffer->_id));
    for (GLuint other = 0; other < 4; ++other) {
        if (other != c.location) {
            EXPECT_EQ(attribute(other, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE) << other;
        }
    }

    buffer->unbind();
    EXPECT_EQ(attribute(c.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
    EXPECT_EQ(getInteger(GL_ARRAY_BUFFER_BINDING), static_cast<GLint>(buffer->_id)) << "the binding stays";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

std::vector<vec3> threes(size_t n) {
    std::vector<vec3> v;
    for (size_t i = 0; i < n; ++i) v.emplace_back(static_cast<float>(i), 1.0f, 2.0f);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Classes, VertexAttributeBuffers,
    ::testing::Values(
        BufferCase{"VertexBuffer", [](size_t n) { return std::make_unique<VertexBuffer>(threes(n)); }, 0, 3},
        BufferCase{"UVBuffer",
                   [](size_t n) { return std::make_unique<UVBuffer>(std::vector<vec2>(n, vec2(0.5f, 0.25f))); }, 1,
                   2},
        BufferCase{"NormalBuffer", [](size_t n) { return std::make_unique<NormalBuffer>(threes(n)); }, 2, 3},
        BufferCase{"TangentBuffer", [](size_t n) { return std::make_unique<TangentBuffer>(threes(n)); }, 3, 3}),
    [](const ::testing::TestParamInfo<BufferCase>& info) { return std::string(info.param.name); });

TEST_F(VertexBufferTest, UploadedDataMatchesTheCpuCopy) {
    const std::vector<vec3> positions = threes(4);
    VertexBuffer buffer(positions);
    EXPECT_EQ(buffer._vertices, positions);
    std::vector<vec3> back(4);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(4 * sizeof(vec3)), back.data());
    EXPECT_EQ(back, positions);
}

TEST_F(VertexBufferTest, EmptyPositionsGetANameButNoDataStore) {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    VertexBuffer positions({});
    EXPECT_NE(positions._id, 0u);
    // A name that was never bound is not yet a buffer object.
    EXPECT_FALSE(glIsBuffer(positions._id));
    EXPECT_EQ(getInteger(GL_ARRAY_BUFFER_BINDING), 0);

    // The other classes always create their (empty) store.
    UVBuffer uvs({});
    EXPECT_TRUE(glIsBuffer(uvs._id));
    EXPECT_EQ(bufferSize(uvs._id), 0);
}

TEST_F(VertexBufferTest, DestructorsDeleteTheirObjects) {
    GLuint buffer = 0;
    GLuint array = 0;
    {
        NormalBuffer normals(threes(3));
        VertexArray vertexArray;
        buffer = normals._id;
        array = vertexArray._id;
        ASSERT_TRUE(glIsBuffer(buffer));
        ASSERT_TRUE(glIsVertexArray(array));
    }
    EXPECT_FALSE(glIsBuffer(buffer));
    EXPECT_FALSE(glIsVertexArray(array));
}

TEST_F(VertexBufferTest, NewestVertexArrayHoldsTheAttributeState) {
    VertexArray first;
    EXPECT_EQ(getInteger(GL_VERTEX_ARRAY_BINDING), static_cast<GLint>(first._id));
    VertexBuffer positions(threes(3));
    positions.bind();
    EXPECT_EQ(attribute(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);

    VertexArray second;
    EXPECT_EQ(getInteger(GL_VERTEX_ARRAY_BINDING), static_cast<GLint>(second._id));
    EXPECT_EQ(attribute(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE) << "not carried over";
    // bind and unbind of the array object change nothing.
    first.bind();
    first.unbind();
    EXPECT_EQ(getInteger(GL_VERTEX_ARRAY_BINDING), static_cast<GLint>(second._id));
    positions.bind();
    EXPECT_EQ(attribute(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
    positions.unbind();
}

// Counts the primitives one draw() assembles.
GLuint primitivesOfDraw(VertexBuffer& buffer) {
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    buffer.draw();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint primitives = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &primitives);
    glDeleteQueries(1, &query);
    return primitives;
}

TEST_F(VertexBufferTest, DrawUsesTrianglesOrLinesByTheWireframeSwitch) {
    TestSupport::TempDir dir;
    GLSLProgram program(dir.write("pass.vs", kPassVertexShader), dir.write("colour.fs", kColourFragmentShader), "");
    ASSERT_NE(program._id, 0u);
    program.bind();
    // A quad covering the whole window, as two triangles.
    VertexBuffer quad({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
    quad.bind();

    wireframeMode = false;
    EXPECT_EQ(primitivesOfDraw(quad), 2u);
    wireframeMode = true;
    EXPECT_EQ(primitivesOfDraw(quad), 3u) << "consecutive vertex pairs as separate lines";
    quad.unbind();

    VertexBuffer empty({});
    wireframeMode = false;
    EXPECT_EQ(primitivesOfDraw(empty), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    program.unbind();
}

}  // namespace
