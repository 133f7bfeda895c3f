// The volume pipeline on a real context: its resources, the nodes it skips, a drawn volume with
// the GL state it leaves and the focus text it reports, and compositeTexture's blending.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GLSLProgram.h"
#include "IGameManager.h"
#include "PipelineTestScene.h"
#include "RenderTexture.h"
#include "Texture.h"
#include "ResourceCache.h"
#include "VolumeRenderingPipeline.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

const Rgb clearColour{26, 128, 26};  // the engine's frame clear (0.1, 0.5, 0.1)

// Records the focus texts the pipeline reports.
class TitleRecorder : public IGameManager {
public:
    void init() override {}
    void deinit() override {}
    void update(double) override {}
    void draw() override {}
    void setTitleInfo(std::string text) override { texts.push_back(std::move(text)); }
    std::vector<std::string> texts;
};

// A 24³ 12-bit volume with a dense ball (bone in the demo's transfer function) in the middle.
std::string ballVolumeFile() {
    constexpr int size = 24;
    std::string bytes;
    for (int v : {size, size, size}) {
        bytes.push_back(static_cast<char>(v & 0xff));
        bytes.push_back(static_cast<char>(v >> 8));
    }
    for (int z = 0; z < size; ++z)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const float dx = x - 11.5f, dy = y - 11.5f, dz = z - 11.5f;
                const uint16_t sample = dx * dx + dy * dy + dz * dz < 5.0f * 5.0f ? 3600 : 0;
                bytes.push_back(static_cast<char>(sample & 0xff));
                bytes.push_back(static_cast<char>(sample >> 8));
            }
    return bytes;
}

bool warm(const Rgb& c) { return c.r >= c.g - 4 && c.g >= c.b - 4 && c.r > c.b; }

}  // namespace

class VolumeRenderingPipelineTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        _savedManager = gameManager;
        gameManager = &_titles;
        VolumeDescription description;
        description._path = _files.write("ball.dat", ballVolumeFile());
        description._hasHeader = true;
        description._bitsPerSample = 12;
        testing::internal::CaptureStdout();
        _volume = std::make_shared<VolumeTexture>(description);
        testing::internal::GetCapturedStdout();
        _node = new VolumetricObject();
        _node->setVolumeTexture(_volume);
        _node->_samplingRate = 50.0f;
        _node->_referenceSamplingRate = 50.0f;
        _root->addChild(_node);
        lookAtFrom(vec3(0.0f, 0.0f, 3.0f), vec3(0.0f, 0.0f, 0.0f));
        testing::internal::CaptureStdout();
        _pipeline = std::make_unique<VolumeRenderingPipeline>();
        _constructionOutput = testing::internal::GetCapturedStdout();
    }

    void TearDown() override {
        _pipeline.reset();
        gameManager = _savedManager;
        SceneTest::TearDown();
        clearResourceCaches();
    }

    // The state the sky pipeline leaves behind, which the volume pipeline starts from.
    static void skyboxExitState() {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glEnable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDepthFunc(GL_LESS);
    }

    Image drawFrame() {
        clearFrame();
        skyboxExitState();
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return readFrame();
    }

    TitleRecorder _titles;
    IGameManager* _savedManager = nullptr;
    std::shared_ptr<VolumeTexture> _volume;
    VolumetricObject* _node = nullptr;
    std::unique_ptr<VolumeRenderingPipeline> _pipeline;
    std::string _constructionOutput;
};

TEST_F(VolumeRenderingPipelineTest, ConstructionFindsEveryUniformAndSizesTargetsToTheWindow) {
    EXPECT_EQ(_constructionOutput.find("glGetUniformLocation failed"), std::string::npos) << _constructionOutput;
    EXPECT_EQ(_constructionOutput.find("error"), std::string::npos) << _constructionOutput;
    ASSERT_NE(_pipeline->_volumeProgram->_id, 0u);
    ASSERT_NE(_pipeline->_passthroughProgram->_id, 0u);
    EXPECT_EQ(_pipeline->_camera, nullptr);
    EXPECT_EQ(_pipeline->_sceneCamera, camera);
    EXPECT_EQ(_pipeline->_width, windowSettings.width);
    EXPECT_EQ(_pipeline->_height, windowSettings.height);
    for (RenderTexture* t : {_pipeline->_sliceTextures[0], _pipeline->_sliceTextures[1], _pipeline->_stackTextures[0],
                             _pipeline->_stackTextures[1]}) {
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->_width, windowSettings.width);
        EXPECT_EQ(t->_height, windowSettings.height);
        EXPECT_EQ(t->_type, RGBA8);
    }
    // The generated noise and transfer-function images were found and decoded.
    EXPECT_NE(_pipeline->_noiseTexture->_id, 0u);
    EXPECT_NE(_pipeline->_transferFunction->_id, 0u);
    const auto& u = _pipeline->_uniforms;
    for (GLint location : {u.volumeTexture, u.pv, u.modelMatrix, u.invM, u.divRefByCurSamplingRate, u.sliceModel,
                           u.noiseTexture, u.noisePosOffset, u.noiseOffsetFactor, u.eyeSampleTexture, u.texSize,
                           u.sliceDistScreenSpace, u.sliceStack, u.nearFar, u.circleOfConfusionRadius, u.lightPos,
                           u.eyePos, u.lightColor, u.trfuncDelta, u.trfuncTexture2d, _pipeline->_eyeTextureLocation}) {
        EXPECT_NE(location, -1);
    }
}

TEST_F(VolumeRenderingPipelineTest, SkippedNodesLeaveFrameStateAndTitleUntouched) {
    struct Case {
        const char* name;
        void (*prepare)(VolumetricObject&);
    };
    const Case cases[] = {
        {"inactive", [](VolumetricObject& n) { n._active = false; }},
        {"in no enabled layer", [](VolumetricObject& n) { n._layers = 2; }},
        {"not a volume", [](VolumetricObject& n) { n._isVolume = false; }},
        {"without texture", [](VolumetricObject& n) { n.setVolumeTexture(nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VolumetricObject node;
        node.setVolumeTexture(_volume);
        node._samplingRate = 50.0f;
        c.prepare(node);
        clearFrame();
        skyboxExitState();
        _titles.texts.clear();
        _pipeline->draw(&node);
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        const Image image = readFrame();
        int changed = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) changed += maxChannelDifference(image.at(x, y), clearColour) > 1;
        EXPECT_EQ(changed, 0);
        EXPECT_TRUE(_titles.texts.empty());
    }
    // A plain node flagged as a volume has nothing to draw either.
    GameObject plain;
    plain._isVolume = true;
    clearFrame();
    skyboxExitState();
    _titles.texts.clear();
    _pipeline->draw(&plain);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(_titles.texts.empty());
    const Rgb centre = readFrame().at(windowSettings.width / 2, windowSettings.height / 2);
    EXPECT_LE(maxChannelDifference(centre, clearColour), 1);
}

// From in front (whole volume behind the focal plane), from close by (focus inside the volume,
// both stacks), and looking exactly along +z, where the slice rotation needs its guard.
TEST_F(VolumeRenderingPipelineTest, DrawsTheVolumeOverTheFrameFromEverySide) {
    struct Case {
        const char* name;
        vec3 eye;
        const char* focusText;
    };
    const Case cases[] = {
        {"from +z at 3", {0.0f, 0.0f, 3.0f}, " | focus slice z = 1"},
        {"from +z at 1.7", {0.0f, 0.0f, 1.7f}, " | focus slice z = 0.404145"},
        {"from -z at 3, looking along +z", {0.0f, 0.0f, -3.0f}, " | focus slice z = 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lookAtFrom(c.eye, vec3(0.0f));
        _titles.texts.clear();
        const Image image = drawFrame();

        ASSERT_EQ(_titles.texts.size(), 1u);
        EXPECT_EQ(_titles.texts[0], c.focusText);
        // The state the frame goes on with.
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        GLboolean depthMask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        EXPECT_EQ(depthMask, GL_TRUE);

        // The dense ball shows in the middle in transfer-function colours; the border keeps
        // what was drawn before, since empty space is transparent.
        const Rgb centre = image.at(image.width / 2, image.height / 2);
        EXPECT_GT(maxChannelDifference(centre, clearColour), 40) << centre.r << " " << centre.g << " " << centre.b;
        EXPECT_TRUE(warm(centre)) << centre.r << " " << centre.g << " " << centre.b;
        int changedAtBorder = 0;
        for (int x = 0; x < image.width; ++x) {
            changedAtBorder += maxChannelDifference(image.at(x, 0), clearColour) > 1;
            changedAtBorder += maxChannelDifference(image.at(x, image.height - 1), clearColour) > 1;
        }
        EXPECT_EQ(changedAtBorder, 0);
    }
}

TEST_F(VolumeRenderingPipelineTest, CompositeTextureBlendsWithTheGivenFactors) {
    const std::vector<GLenum> drawBuffers = {GL_COLOR_ATTACHMENT0};
    RenderTexture source(windowSettings.width, windowSettings.height, RGBA8);
    RenderTexture target(windowSettings.width, windowSettings.height, RGBA8);
    const std::vector<RenderTexture*> sourceColour = {&source}, targetColour = {&target};
    FrameBuffer sourceBuffer(&sourceColour, &drawBuffers, nullptr, false);
    FrameBuffer targetBuffer(&targetColour, &drawBuffers, nullptr, false);
    auto fill = [](FrameBuffer& buffer, vec4 colour) {
        buffer.bind();
        buffer.clear(true, false, false, colour, 1.0f, 0);
        buffer.unbind();
    };
    auto read = [&]() {
        std::vector<uint8_t> pixel(4);
        targetBuffer.bindForReading(GL_COLOR_ATTACHMENT0);
        glReadPixels(windowSettings.width / 3, windowSettings.height / 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixel.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        return pixel;
    };
    glDisable(GL_DEPTH_TEST);
    // A premultiplied half-transparent red.
    fill(sourceBuffer, vec4(0.5f, 0.0f, 0.0f, 0.5f));

    fill(targetBuffer, vec4(0.0f, 0.0f, 1.0f, 1.0f));
    _pipeline->compositeTexture(&source, &targetBuffer, GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
    EXPECT_EQ(read(), (std::vector<uint8_t>{128, 0, 0, 128}));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    fill(targetBuffer, vec4(0.0f, 0.0f, 1.0f, 1.0f));
    _pipeline->compositeTexture(&source, &targetBuffer, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                                GL_ONE_MINUS_SRC_ALPHA);
    const std::vector<uint8_t> over = read();
    EXPECT_NEAR(over[0], 128, 1);
    EXPECT_EQ(over[1], 0);
    EXPECT_NEAR(over[2], 127, 1);
    EXPECT_EQ(over[3], 255);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
