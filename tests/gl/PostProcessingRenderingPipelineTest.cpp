// The post-processing pipeline on llvmpipe: a checkerboard whose left half lies at the focal
// distance and whose right half at the far plane must stay sharp on the left and blur on the
// right; each debug view shows its image and prints its line once per key press.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "GLSLProgram.h"
#include "PipelineTestScene.h"
#include "PostProcessingRenderingPipeline.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

constexpr int kDark = 60;
constexpr int kLight = 180;

// Mean absolute difference of the red channel over columns [x0, x1), skipping the border rows.
double meanDifference(const Image& a, const Image& b, int x0, int x1) {
    double sum = 0.0;
    int count = 0;
    for (int y = 8; y < a.height - 8; ++y)
        for (int x = x0; x < x1; ++x, ++count) sum += std::abs(a.at(x, y).r - b.at(x, y).r);
    return sum / count;
}

double meanRed(const Image& a, int x0, int x1) {
    double sum = 0.0;
    int count = 0;
    for (int y = 8; y < a.height - 8; ++y)
        for (int x = x0; x < x1; ++x, ++count) sum += a.at(x, y).r;
    return sum / count;
}

}  // namespace

class PostProcessingRenderingPipelineTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        focalDistanceSetting = 0.6f;
        focalRangeSetting = 0.1f;
        exposureSetting = 0.0f;
        postProcessingDebugView = 0;
        printPostProcessingView = false;
        _pipeline = std::make_unique<PostProcessingRenderingPipeline>();
    }
    void TearDown() override {
        _pipeline.reset();
        focalDistanceSetting = 0.6f;
        focalRangeSetting = 0.1f;
        exposureSetting = 0.0f;
        postProcessingDebugView = 0;
        printPostProcessingView = false;
        SceneTest::TearDown();
    }

    // The camera's image: a 2-pixel checkerboard, with an optional white square; its depth: the
    // left half at the focal distance, the right half at the far plane.
    Image prepareInput(bool whiteSquare = false) {
        const int w = windowSettings.width, h = windowSettings.height;
        std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t v = ((x / 2 + y / 2) % 2) ? kLight : kDark;
                if (whiteSquare && std::abs(x - w / 4) < 6 && std::abs(y - h / 2) < 6) v = 255;
                uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = p[1] = p[2] = v;
                p[3] = 255;
            }
        _camera->_colorTexture->bind(0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        _camera->_colorTexture->unbind(0);

        const float n = _camera->_near, f = _camera->_far;
        const float focusedDistance = n + focalDistanceSetting * (f - n);
        const vec4 clip = _camera->_projectionMatrix * vec4(0.0f, 0.0f, -focusedDistance, 1.0f);
        const float focusedDepth = clip.z / clip.w * 0.5f + 0.5f;
        _camera->_frameBuffer->bind();
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, w / 2, h);
        _camera->_frameBuffer->clear(false, true, false, vec4(0.0f), focusedDepth, 0);
        glScissor(w / 2, 0, w - w / 2, h);
        _camera->_frameBuffer->clear(false, true, false, vec4(0.0f), 1.0f, 0);
        glDisable(GL_SCISSOR_TEST);
        _camera->_frameBuffer->unbind();
        return readFrame();
    }

    Image process() {
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return readFrame();
    }

    std::unique_ptr<PostProcessingRenderingPipeline> _pipeline;
};

TEST_F(PostProcessingRenderingPipelineTest, BuildsSevenWindowSizedTargets) {
    EXPECT_EQ(_pipeline->_camera, camera);
    EXPECT_EQ(_pipeline->_width, windowSettings.width);
    EXPECT_EQ(_pipeline->_height, windowSettings.height);
    ASSERT_EQ(_pipeline->_depthOfFieldTextures.size(), 3u);
    ASSERT_EQ(_pipeline->_bloomTextures.size(), 3u);
    ASSERT_EQ(_pipeline->_resultTextures.size(), 1u);
    ASSERT_EQ(_pipeline->_frameBuffers.size(), 3u);
    EXPECT_EQ(_pipeline->_frameBuffers[0]->_drawBuffers.size(), 3u);
    EXPECT_EQ(_pipeline->_resultTextures[0]->_type, RGBA8);
}

TEST_F(PostProcessingRenderingPipelineTest, CompositeBlursOnlyWhereOutOfFocus) {
    const Image input = prepareInput();
    const Image output = process();
    const int half = input.width / 2;
    // Sharp half: the checkerboard survives unchanged.
    EXPECT_LE(meanDifference(input, output, 0, half - 8), 1.0);
    // Far half: the 2-pixel checkerboard melts towards its mean grey.
    EXPECT_GT(meanDifference(input, output, half + 8, input.width), 40.0);
    EXPECT_NEAR(meanRed(output, half + 8, input.width), (kDark + kLight) / 2.0, 8.0);
}

TEST_F(PostProcessingRenderingPipelineTest, ExposureScalesTheComposite) {
    const Image input = prepareInput();
    exposureSetting = 1.0f;
    const Image brighter = process();
    // 2^1: the dark squares double, the light ones clip at white.
    int darkX = 0;
    while (input.at(darkX, 20).r != kDark) ++darkX;
    EXPECT_NEAR(brighter.at(darkX, 20).r, 2 * kDark, 2);
    EXPECT_EQ(brighter.at(darkX + 2, 20).r, 255);
}

struct ViewCase {
    int view;
    const char* message;
    std::function<void(const Image& input, const Image& output)> check;
};

class PostProcessingViewTest : public PostProcessingRenderingPipelineTest,
                               public ::testing::WithParamInterface<ViewCase> {};

TEST_P(PostProcessingViewTest, ShowsItsImageAndPrintsItsLineOnce) {
    const Image input = prepareInput(true);
    postProcessingDebugView = GetParam().view;
    printPostProcessingView = true;
    ::testing::internal::CaptureStdout();
    const Image output = process();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string(GetParam().message) + "\n");
    EXPECT_FALSE(printPostProcessingView);
    GetParam().check(input, output);

    ::testing::internal::CaptureStdout();
    process();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Views, PostProcessingViewTest,
    ::testing::Values(
        ViewCase{0, "Result with Post Processing Effects0.600000 and focalRange: 0.100000",
                 [](const Image& input, const Image& output) {
                     EXPECT_GT(meanDifference(input, output, input.width / 2 + 8, input.width), 40.0);
                 }},
        ViewCase{1, "Depth of field : focaldistance: 0.600000 and focalRange: 0.100000",
                 [](const Image& input, const Image& output) {
                     // No blur at the focal distance, full blur at the far plane.
                     EXPECT_LE(output.at(10, input.height / 3).r, 2);
                     EXPECT_GE(output.at(input.width - 10, input.height / 3).r, 253);
                 }},
        ViewCase{2, "Bloom result",
                 [](const Image& input, const Image& output) {
                     // Only the white square is bright enough: it glows, the grey checkerboard does not.
                     EXPECT_GT(output.at(input.width / 4, input.height / 2).r, 100);
                     EXPECT_LE(output.at(3 * input.width / 4, input.height / 2).r, 2);
                 }},
        ViewCase{3, "Deferred Shading result",
                 [](const Image& input, const Image& output) { EXPECT_EQ(output.rgba, input.rgba); }}),
    [](const ::testing::TestParamInfo<ViewCase>& info) { return "View" + std::to_string(info.param.view); });

TEST_F(PostProcessingRenderingPipelineTest, MessagesFollowTheFocusSettings) {
    focalDistanceSetting = 0.0f;
    focalRangeSetting = 0.1f + 2 * 0.11764706f;
    EXPECT_EQ(PostProcessingRenderingPipeline::viewMessage(1),
              "Depth of field : focaldistance: 0.000000 and focalRange: 0.335294");
    EXPECT_EQ(PostProcessingRenderingPipeline::viewMessage(0),
              "Result with Post Processing Effects0.000000 and focalRange: 0.335294");
}

TEST_F(PostProcessingRenderingPipelineTest, SetsNoDepthBlendOrCullStateOfItsOwn) {
    prepareInput();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    process();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_FALSE(glBool(GL_DEPTH_WRITEMASK));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glInteger(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(glInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(glInteger(GL_READ_FRAMEBUFFER_BINDING), 0);
}

TEST_F(PostProcessingRenderingPipelineTest, NoCameraDoesNothing) {
    const Image input = prepareInput();
    _pipeline->_camera = nullptr;
    printPostProcessingView = true;
    ::testing::internal::CaptureStdout();
    _pipeline->render();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(readFrame().rgba, input.rgba);
}

// In the focused left half the composite is the sharp image plus the blurred bright parts (view
// 2), so composite − input must equal the bloom image wherever nothing clips at white. Dropping
// the bloom term, or binding another texture on its unit, breaks the equality around the square.
TEST_F(PostProcessingRenderingPipelineTest, BloomTermReachesTheComposite) {
    const Image input = prepareInput(true);
    postProcessingDebugView = 2;
    const Image bloom = process();
    // The output replaced the camera's image: lay the same input down again.
    EXPECT_EQ(prepareInput(true).rgba, input.rgba);
    postProcessingDebugView = 0;
    const Image composite = process();
    const int cx = input.width / 4, cy = input.height / 2;
    int compared = 0, halo = 0, worst = 0;
    for (int y = cy - 14; y <= cy + 14; ++y)
        for (int x = cx - 14; x <= cx + 14; ++x) {
            const int sum = input.at(x, y).r + bloom.at(x, y).r;
            if (sum >= 250) continue;  // clipped at white: says nothing about the bloom
            ++compared;
            worst = std::max(worst, std::abs(composite.at(x, y).r - sum));
            if (bloom.at(x, y).r >= 10) ++halo;
        }
    EXPECT_LE(worst, 3) << "composite differs from input + bloom";
    EXPECT_GT(compared, 300);
    EXPECT_GT(halo, 40) << "the square casts no bloom halo to compare";
}

// Five Gaussian passes alternate direction starting vertical (0, 1, 0, 1, 0): three vertical
// and two horizontal passes. A thin horizontal line therefore spreads more vertically than a
// thin vertical line spreads sideways, by the ratio of the summed variances, about 3 : 2.
TEST_F(PostProcessingRenderingPipelineTest, BlurPassesAlternateDirectionStartingVertical) {
    const int w = windowSettings.width, h = windowSettings.height;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0);
    auto white = [&](int x, int y) {
        uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
        p[0] = p[1] = p[2] = p[3] = 255;
    };
    for (int x = 10; x < w / 2 - 10; ++x) white(x, h / 2), white(x, h / 2 + 1);  // horizontal line
    for (int y = 10; y < h - 10; ++y) white(3 * w / 4, y), white(3 * w / 4 + 1, y);  // vertical line
    _camera->_colorTexture->bind(0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    _camera->_colorTexture->unbind(0);
    postProcessingDebugView = 2;
    const Image bloom = process();

    // Second moment of the red profile across a line, about its own centre.
    auto spread = [&](bool acrossRows) {
        double weight = 0.0, first = 0.0, second = 0.0;
        for (int d = -20; d <= 20; ++d) {
            const int x = acrossRows ? w / 4 : 3 * w / 4 + d;
            const int y = acrossRows ? h / 2 + d : h / 2;
            const double v = bloom.at(x, y).r;
            weight += v;
            first += v * d;
            second += v * d * d;
        }
        if (weight <= 0.0) return 0.0;
        const double mean = first / weight;
        return second / weight - mean * mean;
    };
    const double vertical = spread(true);     // across the horizontal line
    const double horizontal = spread(false);  // across the vertical line
    EXPECT_GT(horizontal, 2.0) << "no horizontal pass";
    EXPECT_GT(vertical, 2.0) << "no vertical pass";
    EXPECT_GT(vertical / horizontal, 1.25) << "vertical " << vertical << " horizontal " << horizontal;
    EXPECT_LT(vertical / horizontal, 1.8) << "vertical " << vertical << " horizontal " << horizontal;
}

// Wireframe mode reaches the screen quad's draw here too; the passes must still run without a
// GL error and leave the framebuffers and program unbound.
TEST_F(PostProcessingRenderingPipelineTest, WireframeModeRunsWithoutAGLError) {
    prepareInput(true);
    wireframeMode = true;
    for (int view = 0; view < 3; ++view) {
        postProcessingDebugView = view;
        process();  // expects no GL error
    }
    wireframeMode = false;
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(glInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(glInteger(GL_READ_FRAMEBUFFER_BINDING), 0);
}
