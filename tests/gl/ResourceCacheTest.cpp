// The process-wide caches, ModelData and the sky cube mesh on the GPU.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "GLSLProgram.h"
#include "ImageBuilders.h"
#include "ModelData.h"
#include "ResourceCache.h"
#include "ResourceTestHelpers.h"
#include "Texture.h"
#include "VolumeDescription.h"
#include "VolumeTexture.h"

using namespace VantorEngine;
using namespace ResourceTests;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

class ResourceCacheTest : public ResourceGLTest {
protected:
    void SetUp() override {
        ResourceGLTest::SetUp();
        if (HasFatalFailure()) return;
        clearResourceCaches();
    }
    void TearDown() override { clearResourceCaches(); }
    std::string vs() { return dir.write("pass.vs", kPassVertexShader); }
    std::string fs() { return dir.write("colour.fs", kColourFragmentShader); }
    TestSupport::TempDir dir;
};

// Runs `f` and returns what it printed on both streams.
template <typename F>
std::string printedBy(F f) {
    CaptureStdout();
    CaptureStderr();
    f();
    std::fflush(stdout);
    std::fflush(stderr);
    const std::string err = GetCapturedStderr();
    return GetCapturedStdout() + err;
}

TEST_F(ResourceCacheTest, SameShaderPathsCompileOnceAndShareTheProgram) {
    const std::string v = vs();
    const std::string f = fs();
    CreateProgramCounter counter;
    const auto first = getOrCreateProgram(v, f, "");
    const auto second = getOrCreateProgram(v, f, "");
    EXPECT_EQ(first, second);
    EXPECT_NE(first->_id, 0u);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(programCache.size(), 1u);
    EXPECT_EQ(programCache.count(v + f), 1u);
}

TEST_F(ResourceCacheTest, ADifferentGeometryPathBuildsASecondProgram) {
    const std::string v = vs();
    const std::string f = dir.write("geom.fs", "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n");
    const std::string g = dir.write("pass.gs",
                                    "#version 330 core\nlayout(triangles) in;\n"
                                    "layout(triangle_strip, max_vertices = 3) out;\n"
                                    "void main() { for (int i = 0; i < 3; ++i) { gl_Position = gl_in[i].gl_Position;"
                                    " EmitVertex(); } EndPrimitive(); }\n");
    CreateProgramCounter counter;
    const auto plain = getOrCreateProgram(v, f, "");
    const auto withGeometry = getOrCreateProgram(v, f, g);
    EXPECT_NE(plain, withGeometry);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_EQ(programCache.size(), 2u);
}

TEST_F(ResourceCacheTest, TriplesWithEqualConcatenationsShareOneEntry) {
    const std::string v = vs();
    const std::string f = fs();
    const auto first = getOrCreateProgram(v, f, "");
    CreateProgramCounter counter;
    // The vertex path's last two characters moved to the fragment path: the same key.
    const auto second = getOrCreateProgram(v.substr(0, v.size() - 2), v.substr(v.size() - 2) + f, "");
    EXPECT_EQ(first, second);
    EXPECT_EQ(counter.calls, 0);
}

TEST_F(ResourceCacheTest, TextureIsLoadedOncePerPath) {
    const std::string path = dir.write("a.bmp", TestSupport::makeBMP(2, 2, 0));
    std::shared_ptr<Texture> first;
    EXPECT_EQ(printedBy([&] { first = getOrCreateTexture(path); }), "Reading image " + path + "\n");
    std::shared_ptr<Texture> second;
    EXPECT_EQ(printedBy([&] { second = getOrCreateTexture(path); }), "");
    EXPECT_EQ(first, second);
    EXPECT_NE(first->_id, 0u);
    // The key is the path as given: another spelling of the same file is another entry.
    std::shared_ptr<Texture> other;
    printedBy([&] { other = getOrCreateTexture(backslashed(path)); });
    EXPECT_NE(other, first);
    EXPECT_EQ(textureCache.size(), 2u);
}

TEST_F(ResourceCacheTest, FailedTextureIsCachedAndNotRetried) {
    const std::string bmp = backslashed(dir.file("gone.bmp"));
    const std::string png = backslashed(dir.file("gone.png"));
    std::shared_ptr<Texture> missingBMP;
    std::shared_ptr<Texture> missingPNG;
    EXPECT_NE(printedBy([&] { missingBMP = getOrCreateTexture(bmp); }), "");
    EXPECT_NE(printedBy([&] { missingPNG = getOrCreateTexture(png); }), "");
    EXPECT_EQ(missingBMP->_id, 0u);
    EXPECT_NE(missingPNG->_id, 0u) << "a failed PNG still has its placeholder texture";
    EXPECT_EQ(printedBy([&] {
                  EXPECT_EQ(getOrCreateTexture(bmp), missingBMP);
                  EXPECT_EQ(getOrCreateTexture(png), missingPNG);
              }),
              "");
}

TEST_F(ResourceCacheTest, EmptyTexturePathIsCachedSilentlyWithIdZero) {
    std::shared_ptr<Texture> empty;
    EXPECT_EQ(printedBy([&] { empty = getOrCreateTexture(""); }), "");
    EXPECT_EQ(empty->_id, 0u);
    EXPECT_EQ(textureCache.count(""), 1u);
    EXPECT_EQ(getOrCreateTexture(""), empty);
}

TEST_F(ResourceCacheTest, VolumeTextureIsReadOncePerPath) {
    // A headerless 2 x 2 x 2 volume of 12-bit samples.
    std::string samples;
    for (int i = 0; i < 8; ++i) {
        samples += static_cast<char>((i * 500) & 0xff);
        samples += static_cast<char>((i * 500) >> 8);
    }
    VolumeDescription description;
    description._path = backslashed(dir.write("tiny.raw", samples));
    description._width = description._height = description._depth = 2;
    description._bitsPerSample = 12;
    std::shared_ptr<VolumeTexture> first;
    EXPECT_NE(printedBy([&] { first = getOrCreateVolumeTexture(description); }), "");
    std::shared_ptr<VolumeTexture> second;
    EXPECT_EQ(printedBy([&] { second = getOrCreateVolumeTexture(description); }), "");
    EXPECT_EQ(first, second);
    EXPECT_NE(first->_id, 0u);
    EXPECT_EQ(volumeTextureCache.count(description._path), 1u);
}

TEST_F(ResourceCacheTest, ClearingTheCachesDeletesObjectsNobodyElseHolds) {
    auto held = getOrCreateProgram(vs(), fs(), "");
    const GLuint heldId = held->_id;
    GLuint droppedId = 0;
    {
        auto dropped = getOrCreateSkyboxModel();
        droppedId = dropped->_vertexBuffer._id;
    }
    held->unbind();
    clearResourceCaches();
    EXPECT_TRUE(programCache.empty());
    EXPECT_FALSE(skyboxModel);
    EXPECT_FALSE(glIsBuffer(droppedId));
    EXPECT_TRUE(glIsProgram(heldId)) << "still held by a user";
    held.reset();
    EXPECT_FALSE(glIsProgram(heldId));
}

TEST_F(ResourceCacheTest, SkyboxModelIsBuiltOnceWithThirtySixVertices) {
    const auto model = getOrCreateSkyboxModel();
    EXPECT_EQ(getOrCreateSkyboxModel(), model);
    EXPECT_EQ(skyboxModel, model);
    EXPECT_EQ(model->_name, "skybox");
    EXPECT_EQ(model->_texturePath, "");
    EXPECT_EQ(model->_vertexBuffer._vertices.size(), 36u);
    EXPECT_EQ(model->_uvBuffer._uvs.size(), 36u);
    EXPECT_EQ(model->_normalBuffer._normals.size(), 36u);
    EXPECT_EQ(model->_tangentBuffer._tangents, model->_normalBuffer._normals);
    ASSERT_EQ(model->_boundingBoxCorners.size(), 8u);
    EXPECT_EQ(model->_boundingBoxCorners.front(), vec3(-150, -150, -150));
    EXPECT_EQ(model->_boundingBoxCorners.back(), vec3(150, 150, 150));
    GLint size = 0;
    glBindBuffer(GL_ARRAY_BUFFER, model->_vertexBuffer._id);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 36 * 12);
    glBindBuffer(GL_ARRAY_BUFFER, model->_uvBuffer._id);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 36 * 8);
}

TEST_F(ResourceCacheTest, ModelDataUploadsEachListAndStoresTheBox) {
    const std::vector<vec3> vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const std::vector<vec2> uvs = {{0, 0}, {1, 0}, {0, 1}};
    const std::vector<vec3> normals(3, vec3(0, 0, 1));
    const std::vector<vec3> tangents(3, vec3(1, 0, 0));
    ModelData model(vertices, uvs, normals, tangents, "triangle", vec3(0, 0, 0), vec3(1, 1, 0));
    EXPECT_EQ(model._vertexBuffer._vertices, vertices);
    EXPECT_EQ(model._uvBuffer._uvs, uvs);
    EXPECT_EQ(model._tangentBuffer._tangents, tangents);
    EXPECT_EQ(model._name, "triangle");
    EXPECT_EQ(model._boundingBoxCorners[1], vec3(0, 0, 0));
    EXPECT_EQ(model._boundingBoxCorners[2], vec3(0, 1, 0));
    EXPECT_EQ(model._boundingBoxCorners[4], vec3(1, 0, 0));
    for (GLuint id : {model._vertexBuffer._id, model._uvBuffer._id, model._normalBuffer._id,
                      model._tangentBuffer._id}) {
        EXPECT_TRUE(glIsBuffer(id));
    }
}

}  // namespace
