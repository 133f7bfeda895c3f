// The sky pipeline on llvmpipe: it must cover the cleared background although its cube lies
// beyond the far plane, stay behind meshes drawn earlier without touching the depth buffer,
// ignore where the camera is and follow where it looks.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "CubemapTexture.h"
#include "GLSLProgram.h"
#include "PipelineTestScene.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

const Rgb kClearColour{26, 128, 26};  // (0.1, 0.5, 0.1) in 8 bits

double meanDifference(const Image& a, const Image& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.rgba.size(); ++i) sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
    return sum / a.rgba.size();
}

}  // namespace

class SkyboxRenderPipelineTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        _pipeline = std::make_unique<SkyboxRenderPipeline>();
    }
    void TearDown() override {
        _pipeline.reset();
        SceneTest::TearDown();
    }
    Image skyFrom(const vec3& eye, const vec3& direction) {
        lookAtFrom(eye, eye + direction);
        clearFrame();
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return readFrame();
    }
    std::unique_ptr<SkyboxRenderPipeline> _pipeline;
};

TEST_F(SkyboxRenderPipelineTest, FillsTheWholeBackground) {
    EXPECT_NE(_pipeline->_program->_id, 0u);
    EXPECT_NE(_pipeline->_cubemap->_id, 0u);
    const Image image = skyFrom(vec3(0.0f), vec3(0.0f, 0.2f, -1.0f));
    int cleared = 0, black = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgb c = image.at(x, y);
            if (maxChannelDifference(c, kClearColour) <= 2) ++cleared;
            if (c.r + c.g + c.b < 30) ++black;
        }
    EXPECT_EQ(cleared, 0);
    EXPECT_EQ(black, 0);
    // Looking slightly up: the top of the image is sky blue, bluer than it is red.
    const Rgb top = image.at(image.width / 2, image.height - 2);
    EXPECT_GT(top.b, top.r + 40);
}

TEST_F(SkyboxRenderPipelineTest, StaysBehindMeshesAndLeavesDepthAlone) {
    auto* box = addObject(boxModel(vec3(0.5f)), solid({250, 250, 250}), true);
    box->translate(0.0f, 0.0f, -3.0f);
    setDirectionalLight(DirectionalLight(vec3(0.5f), vec3(0.5f), vec3(0.0f), vec3(0.0f, -1.0f, -1.0f),
                                         orthographic(-10, 10, -10, 10, -10, 10)));
    ShadowMappingPipeline meshes;
    lookAtFrom(vec3(0.0f), vec3(0.0f, 0.0f, -1.0f));
    clearFrame();
    meshes.render();
    const Image withMesh = readFrame();
    const std::vector<float> depthBefore = readDepth();
    _pipeline->render();
    const Image withSky = readFrame();
    EXPECT_EQ(readDepth(), depthBefore);

    int meshPixels = 0, skyPixels = 0;
    for (int y = 0; y < withMesh.height; ++y)
        for (int x = 0; x < withMesh.width; ++x) {
            const bool background = maxChannelDifference(withMesh.at(x, y), kClearColour) <= 2;
            if (background) {
                ++skyPixels;
                EXPECT_GT(maxChannelDifference(withSky.at(x, y), kClearColour), 2) << x << "," << y;
            } else {
                ++meshPixels;
                EXPECT_EQ(maxChannelDifference(withSky.at(x, y), withMesh.at(x, y)), 0) << x << "," << y;
            }
        }
    EXPECT_GT(meshPixels, 500);
    EXPECT_GT(skyPixels, 500);
}

TEST_F(SkyboxRenderPipelineTest, MovingKeepsTheSkyTurningChangesIt) {
    const vec3 ahead(0.0f, 0.1f, -1.0f);
    const Image start = skyFrom(vec3(0.0f), ahead);
    const Image moved = skyFrom(vec3(40.0f, -7.0f, 120.0f), ahead);
    EXPECT_LE(meanDifference(start, moved), 0.01);
    const float angle = 30.0f * degreesToRadians;
    const Image turned = skyFrom(vec3(0.0f), vec3(std::sin(angle), 0.1f, -std::cos(angle)));
    EXPECT_GT(meanDifference(start, turned), 3.0);
}

TEST_F(SkyboxRenderPipelineTest, LeavesTheStateTheVolumePassStartsFrom) {
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_ONE, GL_ONE);
    skyFrom(vec3(0.0f), vec3(0.0f, 0.0f, -1.0f));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glBool(GL_DEPTH_WRITEMASK));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LESS);
    EXPECT_EQ(glInteger(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(glInteger(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(glInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(glInteger(GL_READ_FRAMEBUFFER_BINDING), 0);
    // Blending is not the sky's to switch on.
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(SkyboxRenderPipelineTest, NoCameraDrawsNothing) {
    clearFrame();
    const Image before = readFrame();
    _pipeline->_camera = nullptr;
    _pipeline->render();
    EXPECT_EQ(readFrame().rgba, before.rgba);
}

// Each face of the cube map must appear where the camera looks along its axis. Faces of one
// solid colour each, written here, replace the sky's own; a swapped +X/-X or +Z/-Z pair (in
// the face order, the upload targets or the shader's direction) shows the opposite colour.
TEST_F(SkyboxRenderPipelineTest, EverySkyFaceLandsInItsOwnDirection) {
    struct Face {
        const char* file;
        vec3 direction;
        vec3 up;  // any vector not along the direction
        Rgb colour;
    } faces[6] = {
        {"posx.bmp", {1, 0, 0}, {0, 1, 0}, {220, 30, 30}},   {"negx.bmp", {-1, 0, 0}, {0, 1, 0}, {30, 220, 30}},
        {"posy.bmp", {0, 1, 0}, {0, 0, -1}, {30, 30, 220}},  {"negy.bmp", {0, -1, 0}, {0, 0, 1}, {220, 220, 30}},
        {"posz.bmp", {0, 0, 1}, {0, 1, 0}, {220, 30, 220}},  {"negz.bmp", {0, 0, -1}, {0, 1, 0}, {30, 220, 220}},
    };
    for (const Face& face : faces)
        _files.write(face.file, bmpBytes(8, 8, solid(face.colour)));
    std::string folder = _files.path();
    for (char& c : folder)
        if (c == '/') c = '\\';
    _pipeline->_cubemap = std::make_shared<CubemapTexture>(folder, "posx.bmp", "negx.bmp", "posy.bmp", "negy.bmp",
                                                           "posz.bmp", "negz.bmp");
    for (const Face& face : faces) {
        const vec3 eye(3.0f, -2.0f, 5.0f);  // where the camera stands must not matter
        _camera->_position = eye;
        _camera->_viewMatrix = lookAt(eye, eye + face.direction, face.up);
        clearFrame();
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        const Image image = readFrame();
        const Rgb centre = image.at(image.width / 2, image.height / 2);
        EXPECT_LE(maxChannelDifference(centre, face.colour), 2)
            << face.file << " looking along " << face.direction.x << "," << face.direction.y << ","
            << face.direction.z << " shows " << centre.r << "," << centre.g << "," << centre.b;
    }
}

// Wireframe mode draws the cube's vertex pairs as lines: looking at the middle of the first one
// shows a sky-coloured line there, with the cleared background all around it.
TEST_F(SkyboxRenderPipelineTest, WireframeDrawsTheSkyAsLines) {
    const std::vector<vec3>& vertices = _pipeline->_cubeMesh->_vertexBuffer._vertices;
    ASSERT_GE(vertices.size(), 2u);
    const vec3 middle = glm::normalize(0.5f * (vertices[0] + vertices[1]));
    const vec3 up = std::abs(middle.y) < 0.9f ? vec3(0, 1, 0) : vec3(1, 0, 0);
    wireframeMode = true;
    _camera->_position = vec3(0.0f);
    _camera->_viewMatrix = lookAt(vec3(0.0f), middle, up);
    clearFrame();
    _pipeline->render();
    wireframeMode = false;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const Image image = readFrame();
    int cleared = 0, lineNearCentre = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const bool background = maxChannelDifference(image.at(x, y), kClearColour) <= 2;
            if (background) ++cleared;
            if (!background && std::abs(x - image.width / 2) <= 1 && std::abs(y - image.height / 2) <= 1)
                ++lineNearCentre;
        }
    EXPECT_GT(cleared, image.width * image.height * 9 / 10) << "the sky is filled, not drawn as lines";
    EXPECT_GT(lineNearCentre, 0) << "no sky line where the first edge lies";
}
