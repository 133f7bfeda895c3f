// One frame of the demo as the engine draws it (shadow mapping, sky, volume), on the demo's own
// scene and camera: the sky fills the view around the volume, and the light marker, carried to
// the top of the view by the pivot's spin, shows as a dark speck against the sky.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "DatasetGenerator.h"
#include "DeferredRenderingPipeline.h"
#include "FTGameManager.h"
#include "Light.h"
#include "PipelineTestScene.h"
#include "PostProcessingRenderingPipeline.h"
#include "ResourceCache.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"
#include "VolumeRenderingPipeline.h"
#include "VolumetricObject.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

const Rgb kClearColour{26, 128, 26};

}  // namespace

class DemoFramePipelineTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        if (!std::filesystem::exists(FallowTide::generatedDatasetPath(0, "."))) {
            std::string error;
            ASSERT_TRUE(FallowTide::writeGeneratedDataset(0, ".", error)) << error;
        }
        // The engine's start-up state and a low sampling rate for llvmpipe.
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        if (!screenQuad) {
            screenQuadVertices = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
            screenQuad = new VertexBuffer(screenQuadVertices);
        }
        arguments = {"nimbrel", "256", "192", "60", "0", "0", "50"};
        rootObject = nullptr;
        _manager.init();
        shadowMappingPipeline = new ShadowMappingPipeline();
        deferredPipeline = new DeferredRenderingPipeline();
        postProcessingPipeline = new PostProcessingRenderingPipeline();
        volumePipeline = new VolumeRenderingPipeline();
        skyboxPipeline = new SkyboxRenderPipeline();
        // What the camera's first update computes without mouse input: looking along -z.
        const float h = camera->_horizontalAngle;
        camera->_viewMatrix = lookAt(camera->_position, camera->_position + vec3(std::sin(h), 0.0f, std::cos(h)),
                                     vec3(0.0f, 1.0f, 0.0f));
    }

    void TearDown() override {
        delete shadowMappingPipeline;
        delete deferredPipeline;
        delete postProcessingPipeline;
        delete volumePipeline;
        delete skyboxPipeline;
        shadowMappingPipeline = nullptr;
        deferredPipeline = nullptr;
        postProcessingPipeline = nullptr;
        volumePipeline = nullptr;
        skyboxPipeline = nullptr;
        rootObject = nullptr;
        _manager.deinit();  // deletes the camera and the scene tree
        camera = nullptr;
        clearResourceCaches();
        arguments.clear();
    }

    Image frame() {
        renderFrame();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        Image image;
        image.width = windowSettings.width;
        image.height = windowSettings.height;
        image.rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
        camera->_frameBuffer->bindForReading(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        return image;
    }

    FallowTide::FTGameManager _manager;
};

TEST_F(DemoFramePipelineTest, SkySurroundsTheVolumeAndTheLightMarkerIsDrawn) {
    // 4.75 s of spin: the pivot has turned 95°, the light is behind the volume, high up.
    rootObject->update(4.75);
    const Image full = frame();
    _manager._volumetricObject->_active = false;
    const Image skyOnly = frame();
    _manager._volumetricObject->_active = true;

    // Nothing of the cleared background remains: the sky covers every pixel.
    int cleared = 0;
    for (int y = 0; y < full.height; ++y)
        for (int x = 0; x < full.width; ++x)
            if (maxChannelDifference(full.at(x, y), kClearColour) <= 2) ++cleared;
    EXPECT_EQ(cleared, 0);

    // The volume covers the middle, the sky stays around it (the volume's composite may soften
    // the whole frame a little, so only a clear change counts at the border).
    int changed = 0, changedAtBorder = 0;
    for (int y = 0; y < full.height; ++y)
        for (int x = 0; x < full.width; ++x) {
            const int difference = maxChannelDifference(full.at(x, y), skyOnly.at(x, y));
            const bool border = x < 8 || x >= full.width - 8 || y >= full.height - 8;
            changed += difference > 8;
            changedAtBorder += border && difference > 40;
        }
    EXPECT_GT(changed, 200);
    EXPECT_EQ(changedAtBorder, 0);
    const Rgb top = full.at(8, full.height - 20);
    EXPECT_GT(top.b, top.r + 40) << "sky blue above the horizon";

    // The marker sits at the light's position and is darker than what shows there without it.
    GameObject* markerNode = _manager._light->_children.at(0);
    markerNode->_active = false;
    const Image noMarker = frame();
    const vec3 marker = _manager._light->getWorldPosition();
    const vec4 clip = camera->_projectionMatrix * camera->_viewMatrix * vec4(marker, 1.0f);
    const int mx = int((clip.x / clip.w * 0.5f + 0.5f) * full.width);
    const int my = int((clip.y / clip.w * 0.5f + 0.5f) * full.height);
    ASSERT_TRUE(mx >= 2 && mx < full.width - 2 && my >= 0 && my < full.height) << mx << "," << my;
    float darkest = 255.0f, darkestWithout = 255.0f;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int y = std::min(std::max(my + dy, 0), full.height - 1);
            darkest = std::min(darkest, full.luminance(mx + dx, y));
            darkestWithout = std::min(darkestWithout, noMarker.luminance(mx + dx, y));
        }
    EXPECT_LT(darkest, 0.6f * darkestWithout) << "marker at " << mx << "," << my;
}
