// Cube maps from six BMP faces: face paths, face order, missing faces and unit selection.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CubemapTexture.h"
#include "GLStateCache.h"
#include "ImageBuilders.h"
#include "ResourceTestHelpers.h"

using namespace VantorEngine;
using namespace ResourceTests;
using namespace TestSupport;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const char* const kFaceFiles[6] = {"posx.bmp", "negx.bmp", "posy.bmp", "negy.bmp", "posz.bmp", "negz.bmp"};

// A solid BMP whose blue channel names the face (10 x (face + 1)).
std::string faceBMP(int face, int size) {
    std::string bytes = makeBMP(size, size, 0);
    const size_t stride = bmpStride(size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            bytes[54 + y * stride + 3 * x] = static_cast<char>(10 * (face + 1));
            bytes[54 + y * stride + 3 * x + 1] = 0;
            bytes[54 + y * stride + 3 * x + 2] = static_cast<char>(255);
        }
    }
    return bytes;
}

class CubemapTextureTest : public ResourceGLTest {
protected:
    void SetUp() override {
        ResourceGLTest::SetUp();
        if (HasFatalFailure()) return;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    }
    // The folder in the backslash form resource paths use.
    std::string folder() const { return backslashed(dir.path()); }
    void writeFaces(int size = 2, int skip = -1) {
        for (int i = 0; i < 6; ++i) {
            if (i != skip) dir.write(kFaceFiles[i], faceBMP(i, size));
        }
    }
    std::unique_ptr<CubemapTexture> build(const std::string& folderName, std::string* out = nullptr) {
        CaptureStdout();
        auto cube = std::make_unique<CubemapTexture>(folderName, kFaceFiles[0], kFaceFiles[1], kFaceFiles[2],
                                                     kFaceFiles[3], kFaceFiles[4], kFaceFiles[5]);
        std::fflush(stdout);
        const std::string captured = GetCapturedStdout();
        if (out) *out = captured;
        return cube;
    }
    TempDir dir;
};

GLint faceWidth(int face) {
    return levelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_TEXTURE_WIDTH);
}

// Blue channel of the first texel of a face of the cube map bound on the active unit.
int faceBlue(int face) {
    std::vector<unsigned char> bytes(static_cast<size_t>(faceWidth(face)) * faceWidth(face) * 3 + 3);
    glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_BGR, GL_UNSIGNED_BYTE, bytes.data());
    return bytes[0];
}

TEST_F(CubemapTextureTest, FacesLandOnTheirTargetsInOrder) {
    writeFaces(4);
    std::string out;
    auto cube = build(folder(), &out);
    EXPECT_EQ(out, "");
    ASSERT_NE(cube->_id, 0u);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_CUBE_MAP), 0) << "left unbound";
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->_id);
    for (int face = 0; face < 6; ++face) {
        EXPECT_EQ(faceWidth(face), 4) << face;
        EXPECT_EQ(levelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
        EXPECT_EQ(faceBlue(face), 10 * (face + 1)) << "face " << face;
    }
    EXPECT_EQ(textureParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(levelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_X, 1, GL_TEXTURE_WIDTH), 0) << "no mipmaps";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CubemapTextureTest, FolderWithAndWithoutTheFinalBackslashGivesTheSamePaths) {
    writeFaces();
    auto with = build(folder() + "\\");
    auto without = build(folder());
    EXPECT_EQ(with->_facePaths, without->_facePaths);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(with->_facePaths[i], folder() + "\\" + kFaceFiles[i]);
}

TEST_F(CubemapTextureTest, MissingFaceRepeatsThePreviousOne) {
    writeFaces(2, 1);
    std::string out;
    auto cube = build(folder(), &out);
    EXPECT_EQ(out, cube->_facePaths[1] + " could not be opened. Are you in the right directory?\n");
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->_id);
    EXPECT_EQ(faceBlue(1), faceBlue(0));
    EXPECT_EQ(faceBlue(2), 30);
}

TEST_F(CubemapTextureTest, MissingFirstFaceIsEmptyAndTheTextureStillExists) {
    writeFaces(2, 0);
    std::string out;
    auto cube = build(folder(), &out);
    EXPECT_NE(out.find("posx.bmp could not be opened"), std::string::npos) << out;
    EXPECT_NE(cube->_id, 0u);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->_id);
    EXPECT_EQ(faceWidth(0), 0);
    EXPECT_EQ(faceWidth(1), 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CubemapTextureTest, RejectedFaceRepeatsThePreviousOneWithTheReadersMessage) {
    writeFaces(2);
    dir.write(kFaceFiles[3], makeBMP(2, 2, 0, -1, 32));
    std::string out;
    auto cube = build(folder(), &out);
    EXPECT_EQ(out, "Not a correct BMP file\n");
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->_id);
    EXPECT_EQ(faceBlue(3), faceBlue(2));
}

TEST_F(CubemapTextureTest, FaceWithAnOversizedSizeFieldShowsItsOwnImage) {
    writeFaces(4);
    // All of the -Y face's pixels are there; only its size field promises far more.
    std::string oversized = faceBMP(3, 4);
    putU32(oversized, 34, 0x7FFFFFF0u);
    dir.write(kFaceFiles[3], oversized);
    std::string out;
    auto cube = build(folder(), &out);
    EXPECT_EQ(out, "");
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->_id);
    EXPECT_EQ(faceWidth(3), 4);
    EXPECT_EQ(faceBlue(3), 40) << "the -Y face repeats another face's image";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CubemapTextureTest, FacesOfDifferentSizesKeepTheirOwnSizes) {
    writeFaces(2);
    dir.write(kFaceFiles[5], faceBMP(5, 4));
    std::string out;
    auto cube = build(folder(), &out);
    EXPECT_EQ(out, "");
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->_id);
    EXPECT_EQ(faceWidth(4), 2);
    EXPECT_EQ(faceWidth(5), 4);
}

TEST_F(CubemapTextureTest, BindAndUnbindSelectTheUnit) {
    writeFaces();
    auto cube = build(folder());
    ActiveTextureCounter counter;
    cube->bind(4);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_CUBE_MAP), static_cast<GLint>(cube->_id));
    cube->unbind(4);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_CUBE_MAP), 0);
    cube->unbind(6);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_EQ(activeTextureUnit, 6);
}

TEST_F(CubemapTextureTest, DestructorDeletesTheTexture) {
    writeFaces();
    GLuint id = 0;
    {
        auto cube = build(folder());
        id = cube->_id;
        ASSERT_TRUE(glIsTexture(id));
    }
    EXPECT_FALSE(glIsTexture(id));
}

}  // namespace
