// The shadow-mapping pipeline on llvmpipe: a textured box over a ground plane, lit by the
// directional light, must darken the plane where its shadow falls, and only the objects the
// pipeline's filters admit may cast it.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "GLSLProgram.h"
#include "PipelineTestScene.h"
#include "RenderTexture.h"
#include "ShadowMappingPipeline.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

// Light from the upper left: the box at height 1.5 throws its shadow 0.75 units along +x.
const vec3 kLightDirection(1.0f, -2.0f, 0.0f);
const vec3 kBoxCentre(0.0f, 1.5f, 0.0f);
const vec3 kShadowCentre(0.75f, 0.0f, 0.0f);
const vec3 kLitPoint(-1.5f, 0.0f, 1.5f);

}  // namespace

class ShadowMappingPipelineTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        setDirectionalLight(DirectionalLight(vec3(0.8f), vec3(0.2f), vec3(0.0f), kLightDirection,
                                             orthographic(-10, 10, -10, 10, -10, 10)));
        _plane = addObject(planeModel(4.0f), solid({230, 230, 230}), true);
        _box = addObject(boxModel(vec3(0.5f)), [](int x, int y) {
            return ((x / 4 + y / 4) % 2) ? Rgb{200, 40, 40} : Rgb{240, 240, 240};
        }, true);
        _box->translate(kBoxCentre);
        lookAtFrom(vec3(0.0f, 6.0f, 6.0f), vec3(0.5f, 0.0f, 0.0f));
        _pipeline = std::make_unique<ShadowMappingPipeline>();
    }
    void TearDown() override {
        _pipeline.reset();
        SceneTest::TearDown();
    }

    Image renderFrame() {
        clearFrame();
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return readFrame();
    }

    float luminanceAt(const Image& image, const vec3& p) {
        const auto [x, y] = pixelOf(p);
        EXPECT_GE(x, 0) << "point off screen";
        return x < 0 ? -1.0f : image.luminance(x, y);
    }

    // Luminance of the plane at the shadow centre and at the lit reference point.
    std::pair<float, float> shadowAndLit() {
        const Image image = renderFrame();
        return {luminanceAt(image, kShadowCentre), luminanceAt(image, kLitPoint)};
    }

    GameObject* _plane = nullptr;
    GameObject* _box = nullptr;
    std::unique_ptr<ShadowMappingPipeline> _pipeline;
};

TEST_F(ShadowMappingPipelineTest, BuildsADepth32ShadowMapAndBothPrograms) {
    EXPECT_EQ(_pipeline->_camera, camera);
    EXPECT_EQ(_pipeline->_state, 0);
    EXPECT_EQ(_pipeline->_shadowMap->_width, 4096);
    EXPECT_EQ(_pipeline->_shadowMap->_type, DEPTH32);
    EXPECT_NE(_pipeline->_zBufferProgram->_id, 0u);
    EXPECT_NE(_pipeline->_shadingProgram->_id, 0u);
    EXPECT_EQ(_pipeline->_textureTiling, vec2(1.0f, 1.0f));
}

TEST_F(ShadowMappingPipelineTest, BoxShadowIsDarkerThanTheLitPlane) {
    const auto [shadow, lit] = shadowAndLit();
    // Lit: ambient 0.2 + diffuse 0.8 × cos 26.6°; in shadow only the ambient remains.
    EXPECT_GT(lit, 150.0f);
    EXPECT_LT(shadow, 0.5f * lit);
    EXPECT_EQ(_pipeline->_state, 1);
}

TEST_F(ShadowMappingPipelineTest, PcfSoftensTheShadowEdge) {
    const Image image = renderFrame();
    // Walking along the shadow's width from the lit plane into the umbra crosses intermediate values.
    int intermediate = 0;
    float previous = -1.0f;
    const auto [darkX, darkY] = pixelOf(kShadowCentre);
    const auto [brightX, brightY] = pixelOf(vec3(kShadowCentre.x, 0.0f, 1.2f));
    ASSERT_GE(darkX, 0);
    ASSERT_GE(brightX, 0);
    const float dark = image.luminance(darkX, darkY);
    const float bright = image.luminance(brightX, brightY);
    for (int step = 0; step <= 40; ++step) {
        const float z = 1.2f * step / 40.0f;
        const auto [x, y] = pixelOf(vec3(kShadowCentre.x, 0.0f, z));
        const float value = image.luminance(x, y);
        if (value > dark + 0.15f * (bright - dark) && value < bright - 0.15f * (bright - dark) &&
            value != previous)
            ++intermediate;
        previous = value;
    }
    EXPECT_GE(intermediate, 1) << "hard shadow edge: dark " << dark << " bright " << bright;
}

struct CasterCase {
    const char* name;
    std::function<void(GameObject* box, GameObject* plane)> setUp;
    bool castsShadow;
};

class ShadowCasterTest : public ShadowMappingPipelineTest, public ::testing::WithParamInterface<CasterCase> {};

TEST_P(ShadowCasterTest, ShadowAppearsOnlyForAdmittedCasters) {
    GetParam().setUp(_box, _plane);
    const auto [shadow, lit] = shadowAndLit();
    if (GetParam().castsShadow)
        EXPECT_LT(shadow, 0.5f * lit);
    else
        EXPECT_NEAR(shadow, lit, 0.1f * lit);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, ShadowCasterTest,
    ::testing::Values(
        CasterCase{"NotShadowMapped", [](GameObject* box, GameObject*) { box->_shadowMapped = false; }, false},
        CasterCase{"Inactive", [](GameObject* box, GameObject*) { box->_active = false; }, false},
        CasterCase{"OnlyOnLayerTwo", [](GameObject* box, GameObject*) { box->_layers = 2; }, false},
        CasterCase{"MaskTwoSelectsLayerTwo",
                   [](GameObject* box, GameObject* plane) {
                       box->_layers = 2;
                       plane->_layers = 3;
                       renderLayerMask = 2;
                   },
                   true},
        // The mask's high bytes take no part: 0x102 selects layer 2 like 2 does.
        CasterCase{"MaskHighBytesIgnored",
                   [](GameObject* box, GameObject* plane) {
                       box->_layers = 1;
                       plane->_layers = 3;
                       renderLayerMask = 0x101;
                   },
                   true},
        CasterCase{"ModelLessShadowMappedNodeIsSkipped",
                   [](GameObject* box, GameObject*) {
                       auto* empty = new GameObject();
                       empty->_shadowMapped = true;
                       box->addChild(empty);
                   },
                   true}),
    [](const ::testing::TestParamInfo<CasterCase>& info) { return std::string(info.param.name); });

TEST_F(ShadowMappingPipelineTest, CasterOutsideTheViewStillCastsItsShadow) {
    // Looking down at the shadow from close by: the box hangs above the top of the view.
    lookAtFrom(vec3(0.75f, 0.8f, 1.6f), vec3(0.75f, 0.0f, 0.0f));
    for (float x : {-0.5f, 0.5f})
        for (float y : {1.0f, 2.0f})
            for (float z : {-0.5f, 0.5f}) ASSERT_EQ(pixelOf(vec3(x, y, z)).first, -1) << "box corner in view";
    const float shadow = luminanceAt(renderFrame(), kShadowCentre);
    _box->_active = false;
    const float unshadowed = luminanceAt(renderFrame(), kShadowCentre);
    EXPECT_GT(unshadowed, 150.0f);
    EXPECT_LT(shadow, 0.5f * unshadowed);
}

TEST_F(ShadowMappingPipelineTest, LeavesTheDocumentedStateBehind) {
    // Culling, cull mode, depth function and blend function are not this pipeline's: they stay.
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glCullFace(GL_FRONT);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    clearFrame();
    _pipeline->render();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glBool(GL_DEPTH_WRITEMASK));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(glInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(glInteger(GL_READ_FRAMEBUFFER_BINDING), 0);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glInteger(GL_CULL_FACE_MODE), GL_FRONT);
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(glInteger(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(glInteger(GL_BLEND_DST_RGB), GL_ONE);
}

TEST_F(ShadowMappingPipelineTest, NoCameraDrawsNothingAndUnknownStateIsReported) {
    clearFrame();
    const Image before = readFrame();
    _pipeline->_camera = nullptr;
    _pipeline->render();
    EXPECT_EQ(readFrame().rgba, before.rgba);
    EXPECT_EQ(_pipeline->_state, 0);

    _pipeline->_state = 7;
    ::testing::internal::CaptureStdout();
    _pipeline->draw(_box);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ShadowMappingPipeline::draw wrong state\n");
    EXPECT_EQ(readFrame().rgba, before.rgba);
}

// The comparison's slope bias is 0 where a surface faces the light head-on, so the reference
// depth equals the stored one up to rounding, which falls either way: without a floor whole
// areas or scattered texels turn dark. A wall facing the light exactly, at several depths in
// the light's box, must come out uniformly lit.
TEST_F(ShadowMappingPipelineTest, WallFacingTheLightHeadOnShowsNoAcne) {
    _box->_active = false;
    setDirectionalLight(DirectionalLight(vec3(0.8f), vec3(0.2f), vec3(0.0f), vec3(0.0f, 0.0f, -1.0f),
                                         orthographic(-10, 10, -10, 10, -10, 10)));
    for (float depth : {0.3f, -1.7f, 2.345f}) {
        // The plane stood up exactly (y becomes z): its normal (0, 0, 1) points at the light.
        mat4 upright(1.0f);
        upright[1] = vec4(0.0f, 0.0f, 1.0f, 0.0f);
        upright[2] = vec4(0.0f, -1.0f, 0.0f, 0.0f);
        upright[3] = vec4(0.0f, 0.0f, depth, 1.0f);
        _plane->setLocalMatrix(upright);
        lookAtFrom(vec3(2.0f, 1.0f, depth + 7.0f), vec3(0.0f, 0.0f, depth));
        const Image image = renderFrame();

        // Lit: ambient 0.2 + diffuse 0.8 × cos 0 of a 230 albedo; a shadowed texel keeps only 46.
        int samples = 0, speckles = 0;
        float darkest = 255.0f;
        for (int i = 0; i <= 30; ++i)
            for (int j = 0; j <= 30; ++j) {
                const auto [x, y] = pixelOf(vec3(-3.0f + 0.2f * i, -3.0f + 0.2f * j, depth));
                if (x < 0) continue;
                const float value = image.luminance(x, y);
                ++samples;
                darkest = std::min(darkest, value);
                if (value < 225.0f) ++speckles;
            }
        EXPECT_GT(samples, 600) << "wall at z " << depth;
        EXPECT_EQ(speckles, 0) << "wall at z " << depth << ": darkest " << darkest << " of " << samples;
    }
}

// Wireframe mode draws the shaded meshes as lines, but the shadow map stays filled: a depth map
// of lines would let the light through the casters.
TEST_F(ShadowMappingPipelineTest, WireframeKeepsTheShadowMapFilled) {
    wireframeMode = true;
    const Image image = renderFrame();
    wireframeMode = false;
    // A point inside one of the plane's triangles, away from every edge that lines would draw.
    const vec3 inside(1.5f, 0.0f, 1.5f);
    const vec4 shadowCoord = shadowBiasMatrix() * directionalLight._projectionMatrix *
                             directionalLight._viewMatrix * vec4(inside, 1.0f);
    const int size = ShadowMappingPipeline::kShadowMapSize;
    float stored = 0.0f;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, _pipeline->_shadowFrameBuffer->_id);
    glReadPixels(static_cast<int>(shadowCoord.x * size), static_cast<int>(shadowCoord.y * size), 1, 1,
                 GL_DEPTH_COMPONENT, GL_FLOAT, &stored);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_NEAR(stored, shadowCoord.z, 0.01f) << "the plane's interior is missing from the shadow map";
    // The shaded pass follows the flag: the plane's interior shows the cleared background.
    const auto [x, y] = pixelOf(inside);
    ASSERT_GE(x, 0);
    EXPECT_LE(maxChannelDifference(image.at(x, y), Rgb{26, 128, 26}), 2);
}
