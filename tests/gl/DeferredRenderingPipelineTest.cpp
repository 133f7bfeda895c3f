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

// A light that carries its own model: its volume is that model under the light's range-scaled
// world matrix, and only the pixels it covers receive the light.
class DeferredOwnVolumeTest : public DeferredRenderingPipelineTest {
protected:
    void SetUp() override {
        DeferredRenderingPipelineTest::SetUp();
        _plane->_active = false;
        _white = addObject(planeModel(4.0f), solid(kWhite), false);
        // Diffuse only in red, ambient only in green, specular only in blue, so that each term
        // can be checked on its own; attenuation terms chosen so that swapping any two shows.
        _light = new Light(kLightPosition, 0.5f, 0.8f, 0.2f, vec3(0.25f, 0.0f, 0.0f), vec3(0.0f, 0.06f, 0.0f),
                           vec3(0.0f, 0.0f, 0.35f), 0.1f, 20.0f);
        // The volume is a box of half edge kVolumeHalfEdge in world units.
        _light->setModel(boxModel(vec3(kVolumeHalfEdge / _light->_range)));
        _root->addChild(_light);
    }

    // What the point-light shader computes at plane point p (normal +y): albedo × (3 × ambient +
    // 2 × diffuse × cos + 2 × specular × Phong term) / attenuation, in 8 bits.
    Rgb expectedAt(const vec3& p) const {
        const vec3 toLight = kLightPosition - p;
        const float d = glm::length(toLight);
        const vec3 l = toLight / d;
        const vec3 n(0.0f, 1.0f, 0.0f);
        const float cosine = std::max(glm::dot(n, l), 0.0f);
        const vec3 toEye = glm::normalize(_camera->_position - p);
        const float phong = cosine > 0.0f ? std::pow(std::max(glm::dot(toEye, glm::reflect(-l, n)), 0.0f), 5.0f) : 0.0f;
        const vec3 light = 3.0f * _light->_ambientColor + 2.0f * _light->_diffuseColor * cosine +
                           2.0f * _light->_specularColor * phong;
        const float attenuation = _light->_attenuationConstant + _light->_attenuationLinear * d +
                                  _light->_attenuationExp * d * d;
        const vec3 c = glm::clamp(light / attenuation, 0.0f, 1.0f) * (kWhite.r / 255.0f) * 255.0f;
        return {int(std::lround(c.r)), int(std::lround(c.g)), int(std::lround(c.b))};
    }

    static constexpr Rgb kWhite{220, 220, 220};
    static constexpr float kVolumeHalfEdge = 1.2f;
    const vec3 kLightPosition{0.0f, 0.6f, 0.0f};
    GameObject* _white = nullptr;
    Light* _light = nullptr;
};

TEST_F(DeferredOwnVolumeTest, PointLightColourScalesAttenuationAndEyeMatchTheShaderTerms) {
    const Image image = renderFrame();
    // The world positions the geometry buffer holds per pixel, so the expectation is computed
    // where the shader computed it and not at the probe between pixel centres.
    std::vector<float> positions(static_cast<size_t>(image.width) * image.height * 3);
    _pipeline->_gBuffer->bindForReading(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, image.width, image.height, GL_RGB, GL_FLOAT, positions.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    int checked = 0, highlights = 0;
    for (float x : {-0.9f, -0.3f, 0.3f, 0.9f})
        for (float z : {-0.9f, -0.3f, 0.3f, 0.9f}) {
            const auto [px, py] = pixelOf(vec3(x, 0.0f, z));
            ASSERT_GE(px, 0);
            const float* stored = &positions[(static_cast<size_t>(py) * image.width + px) * 3];
            const vec3 p(stored[0], stored[1], stored[2]);
            ASSERT_LT(glm::length(p - vec3(x, 0.0f, z)), 0.1f);
            const Rgb expected = expectedAt(p);
            const Rgb actual = image.at(px, py);
            EXPECT_LE(maxChannelDifference(actual, expected), 2)
                << "at " << x << "," << z << " got " << actual.r << "," << actual.g << "," << actual.b
                << " expected " << expected.r << "," << expected.g << "," << expected.b;
            ++checked;
            if (expected.b > 20) ++highlights;
        }
    EXPECT_EQ(checked, 16);
    EXPECT_GE(highlights, 2) << "no probe shows the specular term";
}

TEST_F(DeferredOwnVolumeTest, OnlyPixelsInsideTheLightsOwnVolumeAreLit) {
    const Image image = renderFrame();
    EXPECT_GT(colourAt(image, vec3(0.3f, 0.0f, 0.3f)).r, 20);
    // Far outside the box's silhouette; the stand-in volume (one range, about 40 units here) would
    // still cover these points.
    for (const vec3& p : {vec3(3.0f, 0.0f, 0.0f), vec3(-3.0f, 0.0f, 0.0f), vec3(2.5f, 0.0f, 2.5f)}) {
        const Rgb c = colourAt(image, p);
        EXPECT_EQ(c.r + c.g + c.b, 0) << "lit at " << p.x << "," << p.z;
    }
}

// The stencil pass counts, per pixel, back faces of the volume behind the scene (+1) and front
// faces behind it (-1): 1 where the scene lies inside the volume, 0 elsewhere. Read back after
// the frame (the later passes leave the stencil alone); with a second light processed after
// the first, only the second one's marks remain, since each light starts from a cleared stencil.
TEST_F(DeferredOwnVolumeTest, StencilMarksWhereTheSceneLiesInsideTheVolume) {
    auto readStencil = [&] {
        std::vector<uint8_t> stencil(static_cast<size_t>(windowSettings.width) * windowSettings.height);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, _pipeline->_gBuffer->_id);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, windowSettings.width, windowSettings.height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE,
                     stencil.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return stencil;
    };
    auto expectMarks = [&](const std::vector<uint8_t>& stencil, std::initializer_list<vec3> marked,
                           std::initializer_list<vec3> unmarked, const char* frame) {
        auto at = [&](const vec3& p) {
            const auto [x, y] = pixelOf(p);
            EXPECT_GE(x, 0);
            return x < 0 ? -1 : int(stencil[static_cast<size_t>(y) * windowSettings.width + x]);
        };
        for (const vec3& p : marked) EXPECT_EQ(at(p), 1) << frame << ": inside at " << p.x << "," << p.z;
        for (const vec3& p : unmarked) EXPECT_EQ(at(p), 0) << frame << ": outside at " << p.x << "," << p.z;
        int total = 0;
        for (uint8_t v : stencil) {
            EXPECT_LE(v, 1) << frame;
            total += v;
        }
        EXPECT_GT(total, 200) << frame;
    };

    renderFrame();
    expectMarks(readStencil(), {vec3(0.0f), vec3(0.9f, 0.0f, 0.9f), vec3(-0.9f, 0.0f, -0.9f)},
                {vec3(3.0f, 0.0f, 0.0f), vec3(0.0f, 0.0f, 2.5f), vec3(-2.6f, 0.0f, 0.0f)}, "one light");

    auto* other = new Light(vec3(-2.6f, 0.6f, 0.0f), _light->_attenuationConstant, _light->_attenuationLinear,
                            _light->_attenuationExp, _light->_diffuseColor, _light->_ambientColor,
                            _light->_specularColor, 0.1f, 20.0f);
    other->setModel(boxModel(vec3(kVolumeHalfEdge / other->_range)));
    _root->addChild(other);
    renderFrame();
    expectMarks(readStencil(), {vec3(-2.6f, 0.0f, 0.0f), vec3(-2.0f, 0.0f, 0.5f)},
                {vec3(0.0f), vec3(0.9f, 0.0f, 0.9f), vec3(3.0f, 0.0f, 0.0f)}, "second light");
}

// The cube shadow pass goes through a geometry shader that takes triangles only: wireframe
// lines there are a GL error and the light loses its shadows.
TEST_F(DeferredRenderingPipelineTest, WireframeKeepsTheCubeShadowPassOnTriangles) {
    addLight(vec3(-2.0f, 2.0f, 0.0f), 0.3f);
    wireframeMode = true;
    renderFrame();  // expects no GL error
    wireframeMode = false;
    // The plane fills most of the light's downward (-Y) face with distances below the far one.
    const int size = DeferredRenderingPipeline::kCubeShadowMapSize;
    std::vector<float> depth(static_cast<size_t>(size) * size);
    _pipeline->_cubeShadowMap->bind(0);
    glGetTexImage(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    _pipeline->_cubeShadowMap->unbind(0);
    const auto written = std::count_if(depth.begin(), depth.end(), [](float d) { return d < 1.0f; });
    EXPECT_GT(written, static_cast<long>(depth.size() / 2));
}
