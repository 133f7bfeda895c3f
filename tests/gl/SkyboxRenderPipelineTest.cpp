// The sky pipeline on llvmpipe: it must cover the cleared background although its cube lies
// beyond the far plane, stay behind meshes drawn earlier without touching the depth buffer,
// ignore where the camera is and follow where it looks.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>

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
