// The volume program draws each slice only over the window rectangle that can hold anything
// non-zero. The frame must come out as when every slice covers the whole window: the reference
// is the same shader built with COVER_WHOLE_WINDOW, swapped into the same pipeline. What a pixel
// computes does not depend on where the quad lies, so the two agree to the bit; any difference
// is a pixel the rectangle dropped.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GLSLProgram.h"
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

// A 32³ 12-bit volume with bone along the twelve edges of the box and in a wall at its far
// side (seen from +z), so that the box's outline on screen holds content, and a soft-tissue
// ball with a bone core in the middle.
std::string cornersAndBallVolumeFile() {
    constexpr int size = 32;
    std::string bytes;
    for (int i = 0; i < 3; ++i) {
        bytes.push_back(static_cast<char>(size & 0xff));
        bytes.push_back(static_cast<char>(size >> 8));
    }
    auto near = [](int v) { return v < 5 || v >= size - 5; };
    for (int z = 0; z < size; ++z)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const float dx = x - 15.5f, dy = y - 15.5f, dz = z - 15.5f;
                const float d2 = dx * dx + dy * dy + dz * dz;
                int sample = 0;
                if (near(x) + near(y) + near(z) >= 2 || z < 6) sample = 3600;
                else if (d2 < 4.0f * 4.0f) sample = 3600;
                else if (d2 < 11.0f * 11.0f) sample = 1400;
                bytes.push_back(static_cast<char>(sample & 0xff));
                bytes.push_back(static_cast<char>(sample >> 8));
            }
    return bytes;
}

std::string readText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<uint8_t> readRgba(FrameBuffer& buffer) {
    std::vector<uint8_t> rgba(static_cast<size_t>(windowSettings.width) * windowSettings.height * 4);
    buffer.bindForReading(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowSettings.width, windowSettings.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return rgba;
}

// Every uniform location of the volume program, as the pipeline's constructor fetches them.
void fetchVolumeUniforms(GLSLProgram& program, VolumeRenderingPipeline::VolumeUniforms& u) {
    u.volumeTexture = program.getUniformLocation("VolumeTexture");
    u.pv = program.getUniformLocation("PV");
    u.modelMatrix = program.getUniformLocation("modelMatrix");
    u.invM = program.getUniformLocation("invM");
    u.divRefByCurSamplingRate = program.getUniformLocation("divRefByCurSamplingRate");
    u.sliceModel = program.getUniformLocation("sliceModel");
    u.noiseTexture = program.getUniformLocation("noiseTexture");
    u.noisePosOffset = program.getUniformLocation("noisePosOffset");
    u.noiseOffsetFactor = program.getUniformLocation("noiseOffsetFactor");
    u.eyeSampleTexture = program.getUniformLocation("eyeSampleTexture");
    u.texSize = program.getUniformLocation("texSize");
    u.sliceDistScreenSpace = program.getUniformLocation("sliceDistScreenSpace");
    u.sliceStack = program.getUniformLocation("sliceStack");
    u.nearFar = program.getUniformLocation("nearFar");
    u.circleOfConfusionRadius = program.getUniformLocation("circleOfConfusionRadius");
    u.lightPos = program.getUniformLocation("lightPos");
    u.eyePos = program.getUniformLocation("eyePos");
    u.lightColor = program.getUniformLocation("lightColor");
    u.trfuncDelta = program.getUniformLocation("trfunc_delta");
    u.trfuncTexture2d = program.getUniformLocation("trfunc_texture2d");
    program.unbind();
}

// The targets a frame leaves: both ping-pong slices, both stacks and the camera's frame.
struct FrameTargets {
    std::vector<std::vector<uint8_t>> images;
    int pingPong = 0;
};

}  // namespace

class VolumeSliceRectangleTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        _savedManager = gameManager;
        gameManager = &_manager;

        VolumeDescription description;
        description._path = _files.write("corners.dat", cornersAndBallVolumeFile());
        description._hasHeader = true;
        description._bitsPerSample = 12;
        testing::internal::CaptureStdout();
        _volume = std::make_shared<VolumeTexture>(description);
        _node = new VolumetricObject();
        _node->setVolumeTexture(_volume);
        _node->_referenceSamplingRate = 40.0f;
        _root->addChild(_node);
        lookAtFrom(vec3(0.0f, 0.0f, 3.0f), vec3(0.0f));
        _pipeline = std::make_unique<VolumeRenderingPipeline>();

        // What the earlier pipelines drew around the volume: a checkered backdrop.
        const std::string backdrop = _files.write("backdrop.bmp", bmpBytes(16, 16, [](int x, int y) {
            return (x / 4 + y / 4) % 2 ? Rgb{200, 60, 40} : Rgb{30, 90, 220};
        }));
        _backdrop = std::make_unique<Texture>(backdrop);

        // The reference: the same program with every slice over the whole window.
        const std::string vertex = readText("resources/shaders/VolumeRendering.vs");
        const std::string version = "#version 330 core";
        const size_t at = vertex.find(version);
        ASSERT_NE(at, std::string::npos);
        std::string whole = vertex;
        whole.insert(at + version.size(), "\n#define COVER_WHOLE_WINDOW");
        const std::string wholePath = _files.write("WholeWindow.vs", whole);
        _wholeWindowProgram = std::make_shared<GLSLProgram>(wholePath, "resources\\shaders\\VolumeRendering.fs", "");
        testing::internal::GetCapturedStdout();
        ASSERT_NE(_wholeWindowProgram->_id, 0u);
        _rectangleProgram = _pipeline->_volumeProgram;
        _rectangleUniforms = _pipeline->_uniforms;
        fetchVolumeUniforms(*_wholeWindowProgram, _wholeWindowUniforms);
    }

    void TearDown() override {
        _pipeline.reset();
        _backdrop.reset();
        gameManager = _savedManager;
        SceneTest::TearDown();
        clearResourceCaches();
    }

    // One frame with `program`, from the same ping-pong state, and every target it leaves.
    FrameTargets drawWith(const std::shared_ptr<GLSLProgram>& program,
                          const VolumeRenderingPipeline::VolumeUniforms& uniforms) {
        _pipeline->_volumeProgram = program;
        _pipeline->_uniforms = uniforms;
        _pipeline->_pingPong = 0;
        clearFrame();
        glDisable(GL_DEPTH_TEST);
        _pipeline->compositeTexture(_backdrop.get(), _camera->_frameBuffer, GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
        _pipeline->render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        FrameTargets targets;
        targets.pingPong = _pipeline->_pingPong;
        for (FrameBuffer* buffer : {_pipeline->_sliceFrameBuffers[0], _pipeline->_sliceFrameBuffers[1],
                                    _pipeline->_stackFrameBuffers[0], _pipeline->_stackFrameBuffers[1],
                                    _camera->_frameBuffer})
            targets.images.push_back(readRgba(*buffer));
        _pipeline->_volumeProgram = _rectangleProgram;
        _pipeline->_uniforms = _rectangleUniforms;
        return targets;
    }

    SilentGameManager _manager;
    IGameManager* _savedManager = nullptr;
    std::shared_ptr<VolumeTexture> _volume;
    VolumetricObject* _node = nullptr;
    std::unique_ptr<VolumeRenderingPipeline> _pipeline;
    std::unique_ptr<Texture> _backdrop;
    std::shared_ptr<GLSLProgram> _wholeWindowProgram, _rectangleProgram;
    VolumeRenderingPipeline::VolumeUniforms _wholeWindowUniforms, _rectangleUniforms;
};

// A rectangle that misses a pixel the accumulation reaches (the box's outline, the blur's
// spread, the part of the box behind or in front of the slice, the eye inside the box) leaves
// a zero there that the whole-window slices would not: the stacks lose content and the
// ping-pong targets drift apart.
TEST_F(VolumeSliceRectangleTest, SliceRectangleDropsNoPixelOfTheWholeWindowImage) {
    struct Case {
        const char* name;
        vec3 eye, centre;
        float rate;
        void (*place)(VolumetricObject&);
    };
    auto none = [](VolumetricObject&) {};
    const Case cases[] = {
        {"from +z at 3, back stack only", {0.0f, 0.0f, 3.0f}, {0.0f, 0.0f, 0.0f}, 40.0f, none},
        {"focus inside the volume, both stacks", {0.5f, 0.4f, 1.6f}, {0.0f, 0.0f, 0.0f}, 40.0f, none},
        {"eye inside the box", {0.2f, 0.1f, 0.4f}, {0.0f, 0.0f, -1.0f}, 40.0f, none},
        {"box cut by the window's edge", {0.0f, 0.3f, 2.4f}, {1.1f, 0.0f, 0.0f}, 40.0f, none},
        {"scaled and turned box seen from a corner", {2.0f, 1.4f, 1.8f}, {0.0f, 0.0f, 0.0f}, 40.0f,
         [](VolumetricObject& n) {
             n.scale(1.0f, 0.5f, 0.8f);
             n.rotate(vec3(0.0f, 0.0f, 1.0f), 30.0f);
             n.translate(0.2f, -0.1f, 0.0f);
         }},
        {"low rate: wide blur passes on an off-centre box", {0.0f, 0.3f, 2.4f}, {1.1f, 0.0f, 0.0f}, 9.0f, none},
        {"box off to the side: its far edge sets the outline, low rate", {0.0f, 0.0f, 3.0f}, {1.0f, 0.0f, 0.0f}, 9.0f,
         [](VolumetricObject& n) { n.translate(2.3f, 0.0f, 0.0f); }},
        {"small box with the focus inside: the front stack's part outgrows the back's", {0.25f, 0.15f, 1.2f},
         {0.0f, 0.0f, 0.0f}, 40.0f, [](VolumetricObject& n) { n.scale(0.3f, 0.3f, 0.3f); }},
        {"rate 0: one slice per stack", {0.3f, 0.2f, 1.5f}, {0.0f, 0.0f, 0.0f}, 0.0f, none},
        {"negative rate", {0.3f, 0.2f, 1.5f}, {0.0f, 0.0f, 0.0f}, -23.0f, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.place(*_node);
        _node->_samplingRate = c.rate;
        lookAtFrom(c.eye, c.centre);
        const FrameTargets whole = drawWith(_wholeWindowProgram, _wholeWindowUniforms);
        const FrameTargets rectangle = drawWith(_rectangleProgram, _rectangleUniforms);
        EXPECT_EQ(rectangle.pingPong, whole.pingPong);
        const char* names[] = {"slice 0", "slice 1", "back stack", "front stack", "frame"};
        int drawn = 0;
        for (size_t i = 0; i < whole.images.size(); ++i) {
            int largest = 0, differing = 0;
            for (size_t k = 0; k < whole.images[i].size(); ++k) {
                const int d = std::abs(whole.images[i][k] - rectangle.images[i][k]);
                largest = std::max(largest, d);
                differing += d > 0;
            }
            EXPECT_EQ(largest, 0) << names[i] << ": " << differing << " channels differ";
        }
        // The volume did show (at rate 0 the two slices are the sphere's poles, off the box).
        const std::vector<uint8_t>& stacks = whole.images[2];
        for (size_t k = 3; k < stacks.size(); k += 4) drawn += stacks[k] > 8;
        if (c.rate != 0.0f) EXPECT_GT(drawn, 0);
        _node->_localMatrix = mat4(1.0f);
        _node->_halfExtents = vec3(1.0f);
    }
}
