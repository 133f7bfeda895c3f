#include "ShadowMappingPipeline.h"

#include <cstdio>
#include <vector>

#include "Camera.h"
#include "DirectionalLight.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLSLProgram.h"
#include "GameObject.h"
#include "ModelData.h"
#include "RenderTexture.h"
#include "ResourceCache.h"
#include "Texture.h"

#include <glm/gtc/type_ptr.hpp>

namespace VantorEngine {

namespace {

void setMatrix(GLint location, const mat4& matrix) {
    if (location >= 0) glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(matrix));
}

void setVector(GLint location, const vec3& value) {
    if (location >= 0) glUniform3f(location, value.x, value.y, value.z);
}

}  // namespace

mat4 shadowBiasMatrix() {
    mat4 bias(0.0f);
    bias[0] = vec4(0.5f, 0.0f, 0.0f, 0.0f);
    bias[1] = vec4(0.0f, 0.5f, 0.0f, 0.0f);
    bias[2] = vec4(0.0f, 0.0f, 0.5f, 0.0f);
    bias[3] = vec4(0.5f, 0.5f, 0.5f, 1.0f);
    return bias;
}

ShadowMappingPipeline::ShadowMappingPipeline() {
    // Builds the shadow map and its framebuffer, fetches both programs and their uniforms.
    _camera = camera;

    // DEPTH32 carries the compare mode, compare function, filters and wrap of a shadow sampler.
    _shadowMap = std::make_unique<RenderTexture>(kShadowMapSize, kShadowMapSize, DEPTH32);
    std::vector<GLenum> noDrawBuffers;
    _shadowFrameBuffer = std::make_unique<FrameBuffer>(nullptr, &noDrawBuffers, _shadowMap.get(), false);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);

    _zBufferProgram = getOrCreateProgram("resources\\shaders\\ShadowMappingZBuffer.vs",
                                         "resources\\shaders\\ShadowMappingZBuffer.fs", "");
    _shadingProgram = getOrCreateProgram("resources\\shaders\\ShadowMappingShading.vs",
                                         "resources\\shaders\\ShadowMappingShading.fs", "");

    _lightMVPLocation = _zBufferProgram->getUniformLocation("lightMVP");
    _mvpLocation = _shadingProgram->getUniformLocation("MVP");
    _lightBiasMVPLocation = _shadingProgram->getUniformLocation("LightBiasMVP");
    _viewLocation = _shadingProgram->getUniformLocation("V");
    _modelLocation = _shadingProgram->getUniformLocation("M");
    _invLightDirectionLocation = _shadingProgram->getUniformLocation("invLightDirection_worldspace");
    _diffuseTextureSamplerLocation = _shadingProgram->getUniformLocation("uDiffuseTextureSampler");
    _shadowMapLocation = _shadingProgram->getUniformLocation("uShadowMap");
    _lightDiffuseColorLocation = _shadingProgram->getUniformLocation("uDirectionalLight.Base.DiffuseColor");
    _lightAmbientColorLocation = _shadingProgram->getUniformLocation("uDirectionalLight.Base.AmbientColor");
    _lightSpecularColorLocation = _shadingProgram->getUniformLocation("uDirectionalLight.Base.SpecularColor");
    _eyeWorldPosLocation = _shadingProgram->getUniformLocation("uEyeWorldPos");
    _sampleDistanceLocation = _shadingProgram->getUniformLocation("uShadowMappingSampleDistance");
    _textureTilingLocation = _shadingProgram->getUniformLocation("uTextureTiling");
    _specularExponentLocation = _shadingProgram->getUniformLocation("uSpecularExponent");
    // The lookups leave the shading program current; nothing is drawn until render binds again.
    _shadingProgram->unbind();
}

ShadowMappingPipeline::~ShadowMappingPipeline() {
    _shadingProgram.reset();
    _zBufferProgram.reset();
    _shadowFrameBuffer.reset();
    _shadowMap.reset();
}

void ShadowMappingPipeline::render() {
    // One frame: the shadow map from the light, then the shaded meshes from the camera.
    if (!_camera) return;
    _state = 0;
    renderDepthPass();
    _state = 1;
    renderShadingPass();
}

void ShadowMappingPipeline::renderDepthPass() {
    // Clears the shadow map and draws every qualifying mesh's depth from the light.
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    _shadowFrameBuffer->bind();
    if (!_shadowFrameBuffer->_drawBuffers.empty())
        glDrawBuffers(static_cast<GLsizei>(_shadowFrameBuffer->_drawBuffers.size()),
                      _shadowFrameBuffer->_drawBuffers.data());
    _shadowFrameBuffer->clear(false, true, false, vec4(0.0f), 1.0f, 0);
    _shadowFrameBuffer->unbind();

    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(kDepthPassOffsetFactor, 0.0f);
    _zBufferProgram->bind();
    _shadowFrameBuffer->bind();
    if (!_shadowFrameBuffer->_drawBuffers.empty())
        glDrawBuffers(static_cast<GLsizei>(_shadowFrameBuffer->_drawBuffers.size()),
                      _shadowFrameBuffer->_drawBuffers.data());
    rootObject->traverse(this);
    _shadowFrameBuffer->unbind();
    _zBufferProgram->unbind();
    glDisable(GL_POLYGON_OFFSET_FILL);
}

void ShadowMappingPipeline::renderShadingPass() {
    // Draws the qualifying meshes lit and shadowed into the camera's framebuffer.
    glDepthMask(GL_TRUE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(0.0f, 0.0f);
    glDisable(GL_BLEND);

    _shadingProgram->bind();
    _shadowMap->bind(kShadowMapUnit);
    if (_shadowMapLocation >= 0) glUniform1i(_shadowMapLocation, kShadowMapUnit);

    const DirectionalLight& light = directionalLight;
    setVector(_invLightDirectionLocation, -light._direction);
    setVector(_lightDiffuseColorLocation, light._diffuseColor);
    setVector(_lightAmbientColorLocation, light._ambientColor);
    setVector(_lightSpecularColorLocation, light._specularColor);
    if (_sampleDistanceLocation >= 0) glUniform1f(_sampleDistanceLocation, kShadowMappingSampleDistance);
    setVector(_eyeWorldPosLocation, camera->_position);
    setMatrix(_viewLocation, camera->_viewMatrix);

    FrameBuffer* target = camera->_frameBuffer;
    target->bind();
    if (!target->_drawBuffers.empty())
        glDrawBuffers(static_cast<GLsizei>(target->_drawBuffers.size()), target->_drawBuffers.data());
    rootObject->traverse(this);
    target->unbind();
    _shadowMap->unbind(kShadowMapUnit);
    _shadingProgram->unbind();
    glDisable(GL_POLYGON_OFFSET_FILL);
}

void ShadowMappingPipeline::draw(GameObject* object) {
    // Only active, shadow-mapped nodes of an enabled layer take part.
    if (!object->_active || (object->_layers & (renderLayerMask & 0xff)) == 0 || !object->_shadowMapped) return;
    switch (_state) {
        case 0: drawDepth(object); break;
        case 1: drawShaded(object); break;
        default: std::printf("ShadowMappingPipeline::draw wrong state\n"); break;
    }
}

void ShadowMappingPipeline::drawDepth(GameObject* object) {
    // Positions only, seen from the light; no visibility test, so off-screen casters still count.
    // Filled whatever wireframe mode says: a shadow map of lines would let the light through.
    std::shared_ptr<ModelData> model = object->getModel();
    if (!model) return;
    const mat4 world = object->getWorldMatrix();
    setMatrix(_lightMVPLocation, directionalLight._projectionMatrix * directionalLight._viewMatrix * world);
    model->_vertexBuffer.bind();
    model->_vertexBuffer.drawTriangles();
    model->_vertexBuffer.unbind();
}

void ShadowMappingPipeline::drawShaded(GameObject* object) {
    // One textured, lit and shadowed mesh, skipped when its bounding box is out of view.
    const mat4 world = object->getWorldMatrix();
    const mat4 mvp = _camera->_projectionMatrix * _camera->_viewMatrix * world;
    if (!object->isVisibleIn(mvp)) return;
    std::shared_ptr<ModelData> model = object->getModel();
    if (!model) return;
    std::shared_ptr<Texture> texture = object->getTexture();
    const DirectionalLight light = getDirectionalLight();
    const mat4 lightBias = shadowBiasMatrix() * light._projectionMatrix * light._viewMatrix * world;

    setMatrix(_mvpLocation, mvp);
    setMatrix(_modelLocation, world);
    setMatrix(_lightBiasMVPLocation, lightBias);
    if (_textureTilingLocation >= 0) glUniform2f(_textureTilingLocation, _textureTiling.x, _textureTiling.y);
    if (_specularExponentLocation >= 0) glUniform1f(_specularExponentLocation, object->_specularExponent);

    if (texture) texture->bind(kDiffuseTextureUnit);
    if (_diffuseTextureSamplerLocation >= 0) glUniform1i(_diffuseTextureSamplerLocation, kDiffuseTextureUnit);
    model->_vertexBuffer.bind();
    model->_uvBuffer.bind();
    model->_normalBuffer.bind();
    model->_vertexBuffer.draw();
    model->_vertexBuffer.unbind();
    model->_uvBuffer.unbind();
    model->_normalBuffer.unbind();
    if (texture) texture->unbind(kDiffuseTextureUnit);
}

}  // namespace VantorEngine
