#include "VolumeRenderingPipeline.h"

#include <cmath>
#include <string>

#include "Camera.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLSLProgram.h"
#include "GameObject.h"
#include "Light.h"
#include "RenderTexture.h"
#include "ResourceCache.h"
#include "Texture.h"
#include "VertexBuffer.h"
#include "VolumeSliceFrame.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"

namespace VantorEngine {

namespace {

// Texture units of the pipeline.
constexpr int volumeUnit = 0;     // the node's volume, and the texture compositeTexture draws
constexpr int sliceUnit = 1;      // the slice texture being read
constexpr int noiseUnit = 2;
constexpr int transferUnit = 3;

constexpr float transferFunctionDelta = 0.0019607844f;  // half a texel of the 255-wide table
constexpr float circleOfConfusionScale = 500.0f;
constexpr float sliceDistanceScale = 0.5f;

const vec4 stackClearColor(0.0f, 0.0f, 0.0f, 1.0f);
const vec4 sliceClearColor(0.0f, 0.0f, 0.0f, 0.0f);

const char* const volumeVertexShader = "resources\\shaders\\VolumeRendering.vs";
const char* const volumeFragmentShader = "resources\\shaders\\VolumeRendering.fs";
const char* const passthroughVertexShader = "resources\\shaders\\PassthroughUV.vs";
const char* const passthroughFragmentShader = "resources\\shaders\\PassthroughUV.fs";
const char* const noiseTexturePath = "resources\\textures\\noise4.jpg";
const char* const transferFunctionPath = "resources\\textures\\transfer_function.png";

void setInt(GLint location, int value) {
    if (location != -1) glUniform1i(location, value);
}
void setFloat(GLint location, float value) {
    if (location != -1) glUniform1f(location, value);
}
void setVec2(GLint location, const vec2& value) {
    if (location != -1) glUniform2f(location, value.x, value.y);
}
void setVec3(GLint location, const vec3& value) {
    if (location != -1) glUniform3f(location, value.x, value.y, value.z);
}
void setMat4(GLint location, const mat4& value) {
    if (location != -1) glUniformMatrix4fv(location, 1, GL_FALSE, &value[0][0]);
}

}  // namespace

VolumeRenderingPipeline::VolumeRenderingPipeline() {
    _camera = nullptr;
    _sceneCamera = camera;
    _pingPong = 0;

    _volumeProgram = getOrCreateProgram(volumeVertexShader, volumeFragmentShader, "");
    _passthroughProgram = getOrCreateProgram(passthroughVertexShader, passthroughFragmentShader, "");

    _width = windowSettings.width;
    _height = windowSettings.height;

    const std::vector<GLenum> drawBuffers = {GL_COLOR_ATTACHMENT0};
    for (int i = 0; i < 2; ++i) {
        _sliceTextures[i] = new RenderTexture(_width, _height, RGBA8);
        const std::vector<RenderTexture*> colour = {_sliceTextures[i]};
        _sliceFrameBuffers[i] = new FrameBuffer(&colour, &drawBuffers, nullptr, false);
    }
    for (int i = 0; i < 2; ++i) {
        _stackTextures[i] = new RenderTexture(_width, _height, RGBA8);
        const std::vector<RenderTexture*> colour = {_stackTextures[i]};
        _stackFrameBuffers[i] = new FrameBuffer(&colour, &drawBuffers, nullptr, false);
    }
    // Constructing the framebuffers leaves the last one bound for drawing and reading.
    _stackFrameBuffers[1]->unbind();

    _noiseTexture = getOrCreateTexture(noiseTexturePath);
    _transferFunction = getOrCreateTexture(transferFunctionPath);

    GLSLProgram& volume = *_volumeProgram;
    _uniforms.volumeTexture = volume.getUniformLocation("VolumeTexture");
    _uniforms.pv = volume.getUniformLocation("PV");
    _uniforms.modelMatrix = volume.getUniformLocation("modelMatrix");
    _uniforms.invM = volume.getUniformLocation("invM");
    _uniforms.divRefByCurSamplingRate = volume.getUniformLocation("divRefByCurSamplingRate");
    _uniforms.sliceModel = volume.getUniformLocation("sliceModel");
    _uniforms.noiseTexture = volume.getUniformLocation("noiseTexture");
    _uniforms.noisePosOffset = volume.getUniformLocation("noisePosOffset");
    _uniforms.noiseOffsetFactor = volume.getUniformLocation("noiseOffsetFactor");
    _uniforms.eyeSampleTexture = volume.getUniformLocation("eyeSampleTexture");
    _uniforms.texSize = volume.getUniformLocation("texSize");
    _uniforms.sliceDistScreenSpace = volume.getUniformLocation("sliceDistScreenSpace");
    _uniforms.sliceStack = volume.getUniformLocation("sliceStack");
    _uniforms.nearFar = volume.getUniformLocation("nearFar");
    _uniforms.circleOfConfusionRadius = volume.getUniformLocation("circleOfConfusionRadius");
    _uniforms.lightPos = volume.getUniformLocation("lightPos");
    _uniforms.eyePos = volume.getUniformLocation("eyePos");
    _uniforms.lightColor = volume.getUniformLocation("lightColor");
    _uniforms.trfuncDelta = volume.getUniformLocation("trfunc_delta");
    _uniforms.trfuncTexture2d = volume.getUniformLocation("trfunc_texture2d");
    _eyeTextureLocation = _passthroughProgram->getUniformLocation("eyeTexture");
    _passthroughProgram->unbind();
}

VolumeRenderingPipeline::~VolumeRenderingPipeline() {
    // The caches keep their own references to the shared resources.
    _volumeProgram.reset();
    _passthroughProgram.reset();
    _noiseTexture.reset();
    _transferFunction.reset();
    for (int i = 0; i < 2; ++i) {
        delete _sliceTextures[i];
        _sliceTextures[i] = nullptr;
        delete _sliceFrameBuffers[i];
        _sliceFrameBuffers[i] = nullptr;
        delete _stackTextures[i];
        _stackTextures[i] = nullptr;
        delete _stackFrameBuffers[i];
        _stackFrameBuffers[i] = nullptr;
    }
}

void VolumeRenderingPipeline::render() {
    if (_sceneCamera && rootObject) rootObject->traverse(this);
}

void VolumeRenderingPipeline::compositeTexture(ITexture* texture, FrameBuffer* target, GLenum srcRGB,
                                               GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha) {
    glEnable(GL_BLEND);
    glBlendFuncSeparate(srcRGB, dstRGB, srcAlpha, dstAlpha);
    target->bind();
    _passthroughProgram->bind();
    texture->bind(volumeUnit);
    setInt(_eyeTextureLocation, volumeUnit);
    screenQuad->bind();
    screenQuad->draw();
    screenQuad->unbind();
    _passthroughProgram->unbind();
    texture->unbind(volumeUnit);
    target->unbind();
    glDisable(GL_BLEND);
}

void VolumeRenderingPipeline::clearSliceTargets() {
    for (int i = 0; i < 2; ++i) {
        _sliceFrameBuffers[i]->bind();
        _sliceFrameBuffers[i]->clear(true, false, false, sliceClearColor, 1.0f, 0);
        _sliceFrameBuffers[i]->unbind();
    }
}

void VolumeRenderingPipeline::drawSlice(const VolumeSliceFrame& frame, float z) {
    const int next = _pingPong ^ 1;
    setMat4(_uniforms.sliceModel, frame.sliceModel(z));
    _sliceTextures[next]->bind(sliceUnit);
    setInt(_uniforms.eyeSampleTexture, sliceUnit);
    FrameBuffer* target = _sliceFrameBuffers[_pingPong];
    target->bind();
    target->clear(true, false, false, sliceClearColor, 1.0f, 0);
    screenQuad->bind();
    screenQuad->draw();
    screenQuad->unbind();
    target->unbind();
    _sliceTextures[next]->unbind(sliceUnit);
    _pingPong = next;
}

void VolumeRenderingPipeline::draw(GameObject* object) {
    if (!object || !object->_active) return;
    if ((object->_layers & (renderLayerMask & 0xFF)) == 0) return;
    if (!object->_isVolume) return;
    // A node flagged by hand without being a VolumetricObject has no volume to draw.
    VolumetricObject* node = dynamic_cast<VolumetricObject*>(object);
    if (!node) return;
    // Held until the frame is composited, whatever happens to the node meanwhile.
    const std::shared_ptr<VolumeTexture> volume = node->_volumeTexture;
    if (!volume) return;

    for (int i = 0; i < 2; ++i) {
        _stackFrameBuffers[i]->bind();
        _stackFrameBuffers[i]->clear(true, false, false, stackClearColor, 1.0f, 0);
        _stackFrameBuffers[i]->unbind();
    }

    const Camera& cam = *_sceneCamera;
    const float rate = node->_samplingRate;
    const mat4 world = node->getWorldMatrix();
    const VolumeSliceFrame frame = VolumeSliceFrame::compute(cam._position, cam._viewMatrix, cam._near,
                                                             world, node->_halfExtents, rate);

    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);

    _volumeProgram->bind();
    volume->bind(volumeUnit);
    setInt(_uniforms.volumeTexture, volumeUnit);
    _noiseTexture->bind(noiseUnit);
    setInt(_uniforms.noiseTexture, noiseUnit);
    _transferFunction->bind(transferUnit);
    setInt(_uniforms.trfuncTexture2d, transferUnit);

    setFloat(_uniforms.trfuncDelta, transferFunctionDelta);
    setVec2(_uniforms.noisePosOffset, node->_noisePosOffset);
    setFloat(_uniforms.noiseOffsetFactor, node->_noiseOffsetFactor);
    setMat4(_uniforms.modelMatrix, world);
    setMat4(_uniforms.invM, glm::inverse(world));
    setFloat(_uniforms.divRefByCurSamplingRate, node->_referenceSamplingRate / rate);
    setMat4(_uniforms.pv, cam._projectionMatrix * cam._viewMatrix);
    setVec2(_uniforms.texSize, vec2(static_cast<float>(_width), static_cast<float>(_height)));
    setVec2(_uniforms.nearFar, vec2(cam._near, cam._far));
    Light* light = node->_light;
    if (light && light->_isLight) {
        setVec3(_uniforms.lightPos, light->getWorldPosition());
        setVec3(_uniforms.lightColor, light->_diffuseColor);
    } else {
        setVec3(_uniforms.lightPos, glm::normalize(node->_lightDirection));
        setVec3(_uniforms.lightColor, node->_lightColor);
    }
    setVec3(_uniforms.eyePos, frame.w);
    setFloat(_uniforms.circleOfConfusionRadius, circleOfConfusionScale / std::fabs(rate));
    setFloat(_uniforms.sliceDistScreenSpace, sliceDistanceScale * frame.step);
    _volumeProgram->unbind();

    if (gameManager) gameManager->setTitleInfo(frame.focusText());

    glDisable(GL_BLEND);

    // Back stack: far side up to the focal plane, each slice in front of what is accumulated.
    clearSliceTargets();
    _volumeProgram->bind();
    setInt(_uniforms.sliceStack, 0);
    frame.forEachBackSlice([&](float z) { drawSlice(frame, z); });
    _volumeProgram->unbind();
    compositeTexture(_sliceTextures[_pingPong ^ 1], _stackFrameBuffers[0], GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);

    // Front stack: near side down to the focal plane, each slice behind what is accumulated.
    clearSliceTargets();
    _volumeProgram->bind();
    setInt(_uniforms.sliceStack, 1);
    frame.forEachFrontSlice([&](float z) { drawSlice(frame, z); });
    _volumeProgram->unbind();
    compositeTexture(_sliceTextures[_pingPong ^ 1], _stackFrameBuffers[1], GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);

    volume->unbind(volumeUnit);
    _noiseTexture->unbind(noiseUnit);
    _transferFunction->unbind(transferUnit);

    glDisable(GL_BLEND);

    // Front over back, premultiplied.
    compositeTexture(_stackTextures[1], _stackFrameBuffers[0], GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                     GL_ONE_MINUS_SRC_ALPHA);
    // The volume over what the earlier pipelines drew (premultiplied "over", so the sky and the
    // scene stay visible around and through the volume).
    compositeTexture(_stackTextures[0], cam._frameBuffer, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                     GL_ONE_MINUS_SRC_ALPHA);

    glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
}

}  // namespace VantorEngine
