// Pre-integration of long slabs: at a low sampling rate a slab spans several voxels, and the
// density at its back end has to come from the volume, not from the gradient at its front.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IGameManager.h"
#include "PipelineTestScene.h"
#include "ResourceCache.h"
#include "Texture.h"
#include "VolumeRenderingPipeline.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

constexpr int edgeVolumeSize = 64;
// 12-bit sample whose 7-bit density is 44 / 127 = 0.35: soft tissue, well below the bone band.
constexpr int tissueSample = 44 << 5;
constexpr float tissueDensity = 44.0f / 127.0f;

// Air in the half toward +z (the eye), soft tissue behind it: one flat step edge across the box.
std::string stepEdgeVolumeFile() {
    std::string bytes;
    for (int i = 0; i < 3; ++i) {
        bytes.push_back(static_cast<char>(edgeVolumeSize & 0xff));
        bytes.push_back(static_cast<char>(edgeVolumeSize >> 8));
    }
    for (int z = 0; z < edgeVolumeSize; ++z)
        for (int y = 0; y < edgeVolumeSize; ++y)
            for (int x = 0; x < edgeVolumeSize; ++x) {
                const int sample = z < edgeVolumeSize / 2 ? tissueSample : 0;
                bytes.push_back(static_cast<char>(sample & 0xff));
                bytes.push_back(static_cast<char>(sample >> 8));
            }
    return bytes;
}

std::vector<uint8_t> readRgba(FrameBuffer& buffer, int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    buffer.bindForReading(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return rgba;
}

}  // namespace

class VolumePreIntegrationTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        _savedManager = gameManager;
        gameManager = &_manager;
    }
    void TearDown() override {
        gameManager = _savedManager;
        SceneTest::TearDown();
        clearResourceCaches();
    }
    SilentGameManager _manager;
    IGameManager* _savedManager = nullptr;
};

// Extrapolating the back density from the gradient across a slab of about five voxels carries
// a step from air into tissue (0.35) on to 0.6-0.9, the bone band: every ray through the edge
// picked up an opaque ivory layer. With the back end read from the volume, the slab only holds
// densities between 0 and 0.35, so the opacity stays within what that much tissue can give.
TEST_F(VolumePreIntegrationTest, StepEdgeGetsNoColourFromDensitiesTheVolumeLacks) {
    VolumeDescription description;
    description._path = _files.write("edge.dat", stepEdgeVolumeFile());
    description._hasHeader = true;
    description._bitsPerSample = 12;
    testing::internal::CaptureStdout();
    auto volume = std::make_shared<VolumeTexture>(description);
    auto* node = new VolumetricObject();
    node->setVolumeTexture(volume);
    // A low rate: slabs of sqrt(3) / 10 world units, 5.5 voxels of this volume.
    constexpr float rate = 10.0f;
    node->_samplingRate = rate;
    node->_referenceSamplingRate = rate;
    _root->addChild(node);
    lookAtFrom(vec3(0.0f, 0.0f, 3.0f), vec3(0.0f));
    VolumeRenderingPipeline pipeline;
    testing::internal::GetCapturedStdout();

    // The most opaque slab the table holds for front and back densities both within 0..0.35
    // (one texel more for bilinear filtering), at the reference rate.
    const int tableSize = 255;
    std::vector<uint8_t> table(static_cast<size_t>(tableSize) * tableSize * 4);
    pipeline._transferFunction->bind(0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, table.data());
    pipeline._transferFunction->unbind(0);
    const int lastTexel = static_cast<int>(std::ceil(tissueDensity * (tableSize - 1))) + 1;
    float slabOpacity = 0.0f;
    for (int back = 0; back <= lastTexel; ++back)
        for (int front = 0; front <= lastTexel; ++front) {
            const float root = table[(static_cast<size_t>(back) * tableSize + front) * 4 + 3] / 255.0f;
            slabOpacity = std::max(slabOpacity, root * root);
        }
    // A ray meets at most one slice per step across the sphere; every pass may round by one
    // 8-bit step.
    const int slices = static_cast<int>(2.0f * rate) + 1;
    const float tissueBound = 1.0f - std::pow(1.0f - slabOpacity, static_cast<float>(slices));
    const int boundByte = static_cast<int>(std::ceil(tissueBound * 255.0f)) + slices;

    clearFrame();
    pipeline.render();
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const int w = windowSettings.width, h = windowSettings.height;
    const std::vector<uint8_t> stack = readRgba(*pipeline._stackFrameBuffers[0], w, h);

    // The box's face at z = 1 covers the middle third of the window from 3 units away.
    int maxAlpha = 0, shownTissue = 0;
    for (int y = h / 3; y < 2 * h / 3; ++y)
        for (int x = w / 3; x < 2 * w / 3; ++x) {
            const int alpha = stack[(static_cast<size_t>(y) * w + x) * 4 + 3];
            maxAlpha = std::max(maxAlpha, alpha);
            shownTissue += alpha > 0;
        }
    EXPECT_GT(shownTissue, (w / 3) * (h / 3) / 2) << "the tissue behind the edge should still show";
    EXPECT_LE(maxAlpha, boundByte) << "slab opacity " << slabOpacity << " over " << slices << " slices";
}
