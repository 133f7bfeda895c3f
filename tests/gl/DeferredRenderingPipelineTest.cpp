// The deferred pipeline on llvmpipe over a ground plane: every debug view shows its buffer,
// point lights add up and cast cube-map shadows, shadow-mapped objects stay out, and the GL
// state after render is the documented one.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "DeferredRenderingPipeline.h"
#include "GLSLProgram.h"
#include "Light.h"
#include "PipelineTestScene.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

const Rgb kAlbedo{200, 100, 50};
const vec3 kProbe(0.5f, 0.0f, 0.25f);  // a plane point with positive coordinates

}  // namespace

class DeferredRenderingPipelineTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        deferredDebugView = 0;
        // Off by default, so only point lights contribute unless a test turns it on.
        setDirectionalLight(DirectionalLight(vec3(0.0f), vec3(0.0f), vec3(0.0f), vec3(0.0f, -1.0f, 0.2f),
                                             orthographic(-10, 10, -10, 10, -10, 10)));
        _plane = addObject(planeModel(4.0f), solid(kAlbedo), false);
        lookAtFrom(vec3(0.0f, 6.0f, 6.0f), vec3(0.0f));
        _pipeline = std::make_unique<DeferredRenderingPipeline>();
    }
    void TearDown() override {
        _pipeline.reset();
        deferredDebugView = 0;
        SceneTest::TearDown();
    }

    Light* addLight(const vec3& position, float diffuse) {
        auto* light = new Light(position, 1.0f, 0.3f, 0.1f, vec3(diffuse), vec3(0.02f), vec3(0.0f), 0.1f, 20.0f);
        _root->addChild(light);
        return light;
    }

    Image renderFrame() {
        clearFrame();
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(_pipeline->_state, 5);
        return readFrame();
    }

    Rgb colourAt(const Image& image, const vec3& p) {
        const auto [x, y] = pixelOf(p);
        EXPECT_GE(x, 0) << "point off screen";
        return x < 0 ? Rgb{-1, -1, -1} : image.at(x, y);
    }

    GameObject* _plane = nullptr;
    std::unique_ptr<DeferredRenderingPipeline> _pipeline;
};

TEST_F(DeferredRenderingPipelineTest, BuildsItsTargetsAroundTheCameraDepth) {
    EXPECT_EQ(_pipeline->_camera, camera);
    ASSERT_EQ(_pipeline->_gBufferTextures.size(), 3u);
    EXPECT_EQ(_pipeline->_gBufferTextures[0]->_type, RGB32F);
    EXPECT_EQ(_pipeline->_gBufferTextures[1]->_type, RGB8);
    EXPECT_EQ(_pipeline->_gBufferTextures[2]->_type, RGB32F);
    EXPECT_EQ(_pipeline->_gBufferTextures[0]->_width, windowSettings.width);
    EXPECT_EQ(_pipeline->_cubeShadowMap->_type, DEPTH_CUBE);
    EXPECT_EQ(_pipeline->_cubeShadowMap->_width, 1024);
    glBindFramebuffer(GL_FRAMEBUFFER, _pipeline->_gBuffer->_id);
    GLint depthStencil = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &depthStencil);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(static_cast<GLuint>(depthStencil), camera->_depthTexture->_id);
}

struct DebugViewCase {
    int view;
    std::function<Rgb(const vec3& eye, const mat4& view)> expected;  // colour at kProbe
    int tolerance;
};

class DeferredDebugViewTest : public DeferredRenderingPipelineTest,
                              public ::testing::WithParamInterface<DebugViewCase> {};

TEST_P(DeferredDebugViewTest, ShowsItsBufferAtTheProbe) {
    setDirectionalLight(DirectionalLight(vec3(0.5f), vec3(0.1f), vec3(0.0f), vec3(0.0f, -1.0f, 0.2f),
                                         orthographic(-10, 10, -10, 10, -10, 10)));
    deferredDebugView = GetParam().view;
    const Image image = renderFrame();
    const Rgb expected = GetParam().expected(_camera->_position, _camera->_viewMatrix);
    const Rgb actual = colourAt(image, kProbe);
    EXPECT_LE(maxChannelDifference(actual, expected), GetParam().tolerance)
        << "got " << actual.r << "," << actual.g << "," << actual.b << " expected " << expected.r << ","
        << expected.g << "," << expected.b;
    if (GetParam().view == 0) {
        // The sky region above the plane holds no geometry, so the lit image stays black there.
        const Rgb top = image.at(image.width / 2, image.height - 1);
        EXPECT_EQ(top.r + top.g + top.b, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Views, DeferredDebugViewTest,
    ::testing::Values(
        // Lit: albedo × (ambient 0.1 + diffuse 0.5 × cos of the light's tilt).
        DebugViewCase{0,
                      [](const vec3&, const mat4&) {
                          const float lit = 0.1f + 0.5f / std::sqrt(1.04f);
                          return Rgb{int(std::lround(kAlbedo.r * lit)), int(std::lround(kAlbedo.g * lit)),
                                     int(std::lround(kAlbedo.b * lit))};
                      },
                      3},
        // Positions, clamped to 0..1 by the copy; a pixel spans a few hundredths of a unit.
        DebugViewCase{1, [](const vec3&, const mat4&) { return Rgb{128, 0, 64}; }, 12},
        DebugViewCase{2, [](const vec3&, const mat4&) { return kAlbedo; }, 2},
        DebugViewCase{3, [](const vec3&, const mat4&) { return Rgb{0, 255, 0}; }, 2},
        // Depth as the eye distance between near (0.01) and far (50).
        DebugViewCase{4,
                      [](const vec3&, const mat4& view) {
                          const float distance = -(view * vec4(kProbe, 1.0f)).z;
                          const int grey = int(std::lround((distance - 0.01f) / (50.0f - 0.01f) * 255.0f));
                          return Rgb{grey, grey, grey};
                      },
                      3}),
    [](const ::testing::TestParamInfo<DebugViewCase>& info) { return "View" + std::to_string(info.param.view); });

TEST_F(DeferredRenderingPipelineTest, TwoPointLightsAddUp) {
    Light* left = addLight(vec3(-1.5f, 1.0f, 0.0f), 0.15f);
    Light* right = addLight(vec3(1.5f, 1.0f, 0.0f), 0.15f);
    right->_active = false;
    const Image leftOnly = renderFrame();
    right->_active = true;
    left->_active = false;
    const Image rightOnly = renderFrame();
    left->_active = true;
    const Image both = renderFrame();

    // Each light brightens its own side.
    const vec3 underLeft(-1.5f, 0.0f, 0.0f), underRight(1.5f, 0.0f, 0.0f);
    EXPECT_GT(colourAt(leftOnly, underLeft).r, colourAt(leftOnly, underRight).r + 10);
    EXPECT_GT(colourAt(rightOnly, underRight).r, colourAt(rightOnly, underLeft).r + 10);
    EXPECT_GT(colourAt(leftOnly, underLeft).r, 20);

    int worst = 0;
    for (size_t i = 0; i < both.rgba.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int(both.rgba[i + c]) - int(leftOnly.rgba[i + c]) -
                                             int(rightOnly.rgba[i + c])));
    EXPECT_LE(worst, 2);

    // A light outside the enabled layers contributes nothing.
    right->_layers = 2;
    EXPECT_EQ(renderFrame().rgba, leftOnly.rgba);
}

TEST_F(DeferredRenderingPipelineTest, OrdinaryMeshCastsAPointLightShadow) {
    addLight(vec3(-2.0f, 2.0f, 0.0f), 0.3f);
    // Same distance from the light and the same angle of incidence as the origin.
    const vec3 reference(-2.0f, 0.0f, 2.0f);
    const Image open = renderFrame();
    auto* box = addObject(boxModel(vec3(0.3f)), solid({255, 255, 255}), false);
    box->translate(-1.0f, 1.0f, 0.0f);
    const Image shadowed = renderFrame();
    EXPECT_NEAR(colourAt(open, vec3(0.0f)).r, colourAt(open, reference).r, 3);
    EXPECT_GT(colourAt(shadowed, reference).r, 20);
    EXPECT_LT(colourAt(shadowed, vec3(0.0f)).r, colourAt(shadowed, reference).r / 2);
}

TEST_F(DeferredRenderingPipelineTest, ShadowMappedMeshIsLeftOutOfEveryPass) {
    addLight(vec3(-2.0f, 2.0f, 0.0f), 0.3f);
    const Image lit = renderFrame();
    deferredDebugView = 1;
    const Image positions = renderFrame();

    auto* box = addObject(boxModel(vec3(0.3f)), solid({255, 255, 255}), true);
    box->translate(-1.0f, 1.0f, 0.0f);
    EXPECT_EQ(renderFrame().rgba, positions.rgba);
    deferredDebugView = 0;
    EXPECT_EQ(renderFrame().rgba, lit.rgba);
    // The same box without the flag does reach the geometry buffer.
    box->_shadowMapped = false;
    EXPECT_NE(renderFrame().rgba, lit.rgba);
}

class DeferredStateTest : public DeferredRenderingPipelineTest, public ::testing::WithParamInterface<int> {};

TEST_P(DeferredStateTest, LeavesTheDocumentedStateBehind) {
    for (int i = 0; i < GetParam(); ++i) addLight(vec3(float(i), 2.0f, 0.0f), 0.2f);
    glEnable(GL_STENCIL_TEST);
    glCullFace(GL_FRONT);
    renderFrame();
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_CLAMP));
    EXPECT_EQ(glIsEnabled(GL_CULL_FACE) == GL_TRUE, GetParam() > 0);
    EXPECT_EQ(glInteger(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_TRUE(glBool(GL_DEPTH_WRITEMASK));
    GLboolean colourMask[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    EXPECT_TRUE(colourMask[0] && colourMask[1] && colourMask[2] && colourMask[3]);
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(glInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(glInteger(GL_READ_FRAMEBUFFER_BINDING), 0);
}

INSTANTIATE_TEST_SUITE_P(Lights, DeferredStateTest, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "Lights";
                         });

TEST_F(DeferredRenderingPipelineTest, NoCameraDrawsNothing) {
    clearFrame();
    const Image before = readFrame();
    _pipeline->_camera = nullptr;
    _pipeline->render();
    EXPECT_EQ(readFrame().rgba, before.rgba);
    EXPECT_EQ(_pipeline->_state, 0);
}

TEST_F(DeferredRenderingPipelineTest, BuildsAndIdlesWithoutACamera) {
    camera = nullptr;
    DeferredRenderingPipeline idle;
    camera = _camera;
    EXPECT_EQ(idle._camera, nullptr);
    clearFrame();
    const Image before = readFrame();
    idle.render();
    EXPECT_EQ(readFrame().rgba, before.rgba);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
