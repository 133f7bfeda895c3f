#include "DeferredRenderingPipeline.h"

#include <cmath>

#include "Camera.h"
#include "DirectionalLight.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLSLProgram.h"
#include "GameObject.h"
#include "Light.h"
#include "ModelData.h"
#include "ProceduralMeshes.h"
#include "RenderTexture.h"
#include "ResourceCache.h"
#include "Texture.h"
#include "VertexBuffer.h"

#include <glm/gtc/type_ptr.hpp>

namespace VantorEngine {

const std::array<mat4, 6> cubeFaceViews = {
    lookAt(vec3(0.0f), vec3(1.0f, 0.0f, 0.0f), vec3(0.0f, -1.0f, 0.0f)),
    lookAt(vec3(0.0f), vec3(-1.0f, 0.0f, 0.0f), vec3(0.0f, -1.0f, 0.0f)),
    lookAt(vec3(0.0f), vec3(0.0f, 1.0f, 0.0f), vec3(0.0f, 0.0f, 1.0f)),
    lookAt(vec3(0.0f), vec3(0.0f, -1.0f, 0.0f), vec3(0.0f, 0.0f, -1.0f)),
    lookAt(vec3(0.0f), vec3(0.0f, 0.0f, 1.0f), vec3(0.0f, -1.0f, 0.0f)),
    lookAt(vec3(0.0f), vec3(0.0f, 0.0f, -1.0f), vec3(0.0f, -1.0f, 0.0f)),
};

namespace {

constexpr const char* kShaderFolder = "resources\\shaders\\";
constexpr float kQuarterTurn = 0.7853982f;  // half of the 90° field of view of a cube face

std::string shaderPath(const char* file) { return std::string(kShaderFolder) + file; }

void setMatrix(GLint location, const mat4& matrix) {
    if (location >= 0) glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(matrix));
}
void setVector(GLint location, const vec3& value) {
    if (location >= 0) glUniform3f(location, value.x, value.y, value.z);
}
void setVector(GLint location, const vec2& value) {
    if (location >= 0) glUniform2f(location, value.x, value.y);
}
void setFloat(GLint location, float value) {
    if (location >= 0) glUniform1f(location, value);
}
void setInt(GLint location, int value) {
    if (location >= 0) glUniform1i(location, value);
}

bool inEnabledLayer(const GameObject* object) { return (object->_layers & (renderLayerMask & 0xff)) != 0; }

vec2 windowSize() {
    return vec2(static_cast<float>(static_cast<unsigned>(windowSettings.width)),
                static_cast<float>(static_cast<unsigned>(windowSettings.height)));
}

}  // namespace

mat4 cubeFaceProjection(float near, float far) {
    const float t = near * std::tan(kQuarterTurn);
    mat4 p(0.0f);
    p[0][0] = 2.0f * near / (2.0f * t);
    p[1][1] = 2.0f * near / (2.0f * t);
    p[2][2] = -(far + near) / (far - near);
    p[2][3] = -1.0f;
    p[3][2] = -2.0f * far * near / (far - near);
    return p;
}

std::array<mat4, 6> cubeFaceMatrices(const vec3& lightPosition, float near, float far) {
    const mat4 projection = cubeFaceProjection(near, far);
    std::array<mat4, 6> matrices;
    for (int face = 0; face < 6; ++face) {
        mat4 view = cubeFaceViews[face];
        view[3] = cubeFaceViews[face] * vec4(-lightPosition, 1.0f);
        matrices[face] = projection * view;
    }
    return matrices;
}

DeferredRenderingPipeline::DeferredRenderingPipeline() {
    // Builds the geometry buffer, the lit-image and cube-shadow targets, the programs and uniforms.
    _camera = camera;
    _state = 0;
    const int width = static_cast<int>(static_cast<unsigned>(windowSettings.width));
    const int height = static_cast<int>(static_cast<unsigned>(windowSettings.height));

    _gBufferTextures.push_back(std::make_unique<RenderTexture>(width, height, RGB32F));
    _gBufferTextures.push_back(std::make_unique<RenderTexture>(width, height, RGB8));
    _gBufferTextures.push_back(std::make_unique<RenderTexture>(width, height, RGB32F));
    _finalTexture = std::make_unique<RenderTexture>(width, height, RGBA8);

    std::vector<RenderTexture*> gBufferColors;
    for (auto& texture : _gBufferTextures) gBufferColors.push_back(texture.get());
    const std::vector<GLenum> gBufferDrawBuffers = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1,
                                                    GL_COLOR_ATTACHMENT2};
    // Without a camera there is no depth-stencil target to share; render then does nothing anyway.
    RenderTexture* depthStencil = _camera ? _camera->_depthTexture : nullptr;
    _gBuffer = std::make_unique<FrameBuffer>(&gBufferColors, &gBufferDrawBuffers, depthStencil,
                                             depthStencil != nullptr);

    const std::vector<RenderTexture*> finalColors = {_finalTexture.get()};
    const std::vector<GLenum> finalDrawBuffers = {GL_COLOR_ATTACHMENT0};
    _finalFrameBuffer = std::make_unique<FrameBuffer>(&finalColors, &finalDrawBuffers, nullptr, false);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    _cubeShadowMap = std::make_unique<RenderTexture>(kCubeShadowMapSize, kCubeShadowMapSize, DEPTH_CUBE);
    const std::vector<GLenum> noDrawBuffers;
    _cubeShadowFrameBuffer = std::make_unique<FrameBuffer>(nullptr, &noDrawBuffers, _cubeShadowMap.get(), false);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);

    _geometryProgram = getOrCreateProgram(shaderPath("DeferredGeometry.vs"), shaderPath("DeferredGeometry.fs"), "");
    _stencilProgram = getOrCreateProgram(shaderPath("DeferedStencil.vs"), shaderPath("DeferedStencil.fs"), "");
    _omniShadowProgram =
        getOrCreateProgram(shaderPath("OmniDirShadowMappingZBuffer.vs"), shaderPath("OmniDirShadowMappingZBuffer.fs"),
                           shaderPath("OmniDirShadowMappingZBuffer.gs"));
    _pointLightProgram = getOrCreateProgram(shaderPath("DeferredLight.vs"), shaderPath("DeferredPointLight.fs"), "");
    _directionalLightProgram =
        getOrCreateProgram(shaderPath("DeferredLight.vs"), shaderPath("DeferredDirLight.fs"), "");

    _geometryUniforms.wvp = _geometryProgram->getUniformLocation("gWVP");
    _geometryUniforms.world = _geometryProgram->getUniformLocation("gWorld");
    _geometryUniforms.colorMap = _geometryProgram->getUniformLocation("gColorMap");
    _stencilWVPLocation = _stencilProgram->getUniformLocation("gWVP");
    _omniShadowUniforms.modelMatrix = _omniShadowProgram->getUniformLocation("modelMatrix");
    _omniShadowUniforms.cubemapMatrix = _omniShadowProgram->getUniformLocation("cubemapMatrix");
    _omniShadowUniforms.nearFar = _omniShadowProgram->getUniformLocation("nearFar");
    _omniShadowUniforms.lightPos = _omniShadowProgram->getUniformLocation("lightPos");

    GLSLProgram& point = *_pointLightProgram;
    _pointLightUniforms.wvp = point.getUniformLocation("uWVP");
    _pointLightUniforms.positionMap = point.getUniformLocation("uPositionMap");
    _pointLightUniforms.colorMap = point.getUniformLocation("uColorMap");
    _pointLightUniforms.normalMap = point.getUniformLocation("uNormalMap");
    _pointLightUniforms.eyeWorldPos = point.getUniformLocation("uEyeWorldPos");
    _pointLightUniforms.specularExponent = point.getUniformLocation("uSpecularExponent");
    _pointLightUniforms.screenSize = point.getUniformLocation("uScreenSize");
    _pointLightValues.diffuseColor = point.getUniformLocation("uPointLight.Base.DiffuseColor");
    _pointLightValues.ambientColor = point.getUniformLocation("uPointLight.Base.AmbientColor");
    _pointLightValues.position = point.getUniformLocation("uPointLight.Position");
    _pointLightValues.nearFar = point.getUniformLocation("uNearFar");
    _pointLightValues.cubeShadowMap = point.getUniformLocation("uCubeShadowMap");
    _pointLightValues.specularColor = point.getUniformLocation("uPointLight.Base.SpecularColor");
    _pointLightValues.attenuationConstant = point.getUniformLocation("uPointLight.Atten.Constant");
    _pointLightValues.attenuationLinear = point.getUniformLocation("uPointLight.Atten.Linear");
    _pointLightValues.attenuationExp = point.getUniformLocation("uPointLight.Atten.Exp");

    GLSLProgram& directional = *_directionalLightProgram;
    _directionalLightUniforms.wvp = directional.getUniformLocation("uWVP");
    _directionalLightUniforms.positionMap = directional.getUniformLocation("uPositionMap");
    _directionalLightUniforms.colorMap = directional.getUniformLocation("uColorMap");
    _directionalLightUniforms.normalMap = directional.getUniformLocation("uNormalMap");
    _directionalLightUniforms.eyeWorldPos = directional.getUniformLocation("uEyeWorldPos");
    _directionalLightUniforms.specularExponent = directional.getUniformLocation("uSpecularExponent");
    _directionalLightUniforms.screenSize = directional.getUniformLocation("uScreenSize");
    _directionalLightValues.diffuseColor = directional.getUniformLocation("uDirectionalLight.Base.DiffuseColor");
    _directionalLightValues.ambientColor = directional.getUniformLocation("uDirectionalLight.Base.AmbientColor");
    _directionalLightValues.direction = directional.getUniformLocation("uDirectionalLight.Direction");
    _directionalLightValues.specularColor = directional.getUniformLocation("uDirectionalLight.Base.SpecularColor");

    _depthViewProgram = getOrCreateProgram(shaderPath("DeferredLight.vs"), shaderPath("DeferredDepthView.fs"), "");
    _depthViewUniforms.wvp = _depthViewProgram->getUniformLocation("uWVP");
    _depthViewUniforms.depthMap = _depthViewProgram->getUniformLocation("uDepthMap");
    _depthViewUniforms.nearFar = _depthViewProgram->getUniformLocation("uNearFar");
    _depthViewUniforms.screenSize = _depthViewProgram->getUniformLocation("uScreenSize");
    _depthViewProgram->unbind();

    _unitLightVolume = getOrCreateSkyboxModel();
}

DeferredRenderingPipeline::~DeferredRenderingPipeline() {
    _gBuffer.reset();
    _finalFrameBuffer.reset();
    _cubeShadowFrameBuffer.reset();
    _gBufferTextures.clear();
    _cubeShadowMap.reset();
    _finalTexture.reset();
    _directionalLightProgram.reset();
    _pointLightProgram.reset();
    _omniShadowProgram.reset();
    _stencilProgram.reset();
    _geometryProgram.reset();
    _depthViewProgram.reset();
    _unitLightVolume.reset();
}

void DeferredRenderingPipeline::render() {
    // Geometry buffer, every enabled point light, the directional light, then the final copy.
    if (!_camera) return;
    _finalFrameBuffer->bind();
    _finalFrameBuffer->clear(true, false, false, vec4(0.0f), 1.0f, 0);
    _finalFrameBuffer->unbind();

    _state = 0;
    renderGeometryPass();

    for (Light* light : getLights()) {
        if (!light->_active || !inEnabledLayer(light)) continue;
        _state = 1;
        renderStencilPass(light);
        _state = 2;
        renderPointShadowPass(light);
        _state = 3;
        renderPointLightPass(light);
    }

    _state = 4;
    renderDirectionalLightPass();
    _state = 5;
    renderFinalPass();
}

void DeferredRenderingPipeline::draw(GameObject* object) {
    // Ordinary meshes only: shadow-mapped objects, lights and model-less nodes stay out.
    if (!object->_active || !inEnabledLayer(object) || object->_shadowMapped) return;
    std::shared_ptr<ModelData> model = object->getModel();
    if (!model || object->_isLight) return;
    if (_state == 0)
        drawGeometry(object);
    else
        drawShadowCaster(object);
}

void DeferredRenderingPipeline::renderGeometryPass() {
    // Positions, colours and normals of every visible ordinary mesh into the geometry buffer.
    _geometryProgram->bind();
    _gBuffer->bind();
    _gBuffer->clear(true, true, false, vec4(0.0f), 1.0f, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    // Whatever ran before may have left blending or stencil testing on; either would corrupt
    // the geometry buffer (there is no alpha to blend by, and the stencil holds the last light).
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
    rootObject->traverse(this);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    _gBuffer->unbind();
}

void DeferredRenderingPipeline::drawGeometry(GameObject* object) {
    // One textured mesh into the three geometry buffers, skipped when out of view.
    const mat4 world = object->getWorldMatrix();
    const mat4 mvp = _camera->_projectionMatrix * _camera->_viewMatrix * world;
    if (!object->isVisibleIn(mvp)) return;
    std::shared_ptr<ModelData> model = object->getModel();
    std::shared_ptr<Texture> texture = object->getTexture();
    setMatrix(_geometryUniforms.wvp, mvp);
    setMatrix(_geometryUniforms.world, world);
    if (texture) texture->bind(kColorMapUnit);
    setInt(_geometryUniforms.colorMap, kColorMapUnit);
    model->_vertexBuffer.bind();
    model->_uvBuffer.bind();
    model->_normalBuffer.bind();
    model->_vertexBuffer.draw();
    model->_vertexBuffer.unbind();
    model->_uvBuffer.unbind();
    model->_normalBuffer.unbind();
    if (texture) texture->unbind(kColorMapUnit);
    // Normal maps are not sampled; with the flag on, only unit 1 is released after the draw.
    std::shared_ptr<Texture> normalTexture = object->getNormalTexture();
    if (normalTexture && normalMapping) normalTexture->unbind(1);
}

void DeferredRenderingPipeline::renderStencilPass(Light* light) {
    // Marks the light volume in the stencil buffer against the geometry buffer's depth.
    _gBuffer->bind();
    _stencilProgram->bind();
    glEnable(GL_STENCIL_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    // The count needs both faces of the volume; the previous light's lighting pass leaves face
    // culling on, which would drop the back faces of every later light's volume.
    glDisable(GL_CULL_FACE);
    _gBuffer->clear(false, false, true, vec4(0.0f), 1.0f, 0);
    glStencilFunc(GL_ALWAYS, 0, 0);
    glStencilOpSeparate(GL_BACK, GL_KEEP, GL_INCR_WRAP, GL_KEEP);
    glStencilOpSeparate(GL_FRONT, GL_KEEP, GL_DECR_WRAP, GL_KEEP);
    // The stencil program declares no colour output, whose values GL leaves undefined; masking
    // colour keeps the three geometry buffers intact while their draw buffers stay enabled.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    drawLightVolume(light, _stencilWVPLocation);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    _stencilProgram->unbind();
    _gBuffer->unbind();
}

void DeferredRenderingPipeline::drawLightVolume(Light* light, GLint wvpLocation) {
    // The light's own model under its range-scaled world matrix, or the stand-in cube.
    std::shared_ptr<ModelData> model = light->getModel();
    mat4 world = light->getWorldMatrix();
    const bool standIn = !model;
    if (standIn) {
        // The shared cube (half edge 150) shrunk to a half edge of one range: it encloses the
        // sphere the light reaches. The mirror on x turns its inward-wound faces outward, so the
        // front-face culling of the lighting pass keeps the far side, also from inside.
        model = _unitLightVolume;
        world = world * scaleMatrix(-1.0f / kSkyboxHalfEdge, 1.0f / kSkyboxHalfEdge, 1.0f / kSkyboxHalfEdge);
        // The cube reaches past the camera's far plane for wide lights; clamping depth keeps
        // the far side from being clipped away.
        glEnable(GL_DEPTH_CLAMP);
    }
    setMatrix(wvpLocation, _camera->_projectionMatrix * _camera->_viewMatrix * world);
    model->_vertexBuffer.bind();
    model->_vertexBuffer.draw();
    model->_vertexBuffer.unbind();
    if (standIn) glDisable(GL_DEPTH_CLAMP);
}

void DeferredRenderingPipeline::renderPointShadowPass(Light* light) {
    // Distances from the light to every ordinary mesh, into all six faces in one traversal.
    glDepthMask(GL_TRUE);
    _cubeShadowFrameBuffer->bind();
    _cubeShadowFrameBuffer->clear(false, true, false, vec4(0.0f), 1.0f, 0);
    _omniShadowProgram->bind();

    const vec3 position = light->getWorldPosition();
    const float near = light->_shadowNear;
    const float far = light->_shadowFar;
    const std::array<mat4, 6> matrices = cubeFaceMatrices(position, near, far);
    if (_omniShadowUniforms.cubemapMatrix >= 0)
        glUniformMatrix4fv(_omniShadowUniforms.cubemapMatrix, 6, GL_FALSE, glm::value_ptr(matrices[0]));
    setVector(_omniShadowUniforms.nearFar, vec2(near, far));
    if (_omniShadowUniforms.lightPos >= 0)
        glUniform4f(_omniShadowUniforms.lightPos, position.x, position.y, position.z, 1.0f);

    glEnable(GL_DEPTH_TEST);
    rootObject->traverse(this);
    glDisable(GL_DEPTH_TEST);
    _omniShadowProgram->unbind();
    _cubeShadowFrameBuffer->unbind();
}

void DeferredRenderingPipeline::drawShadowCaster(GameObject* object) {
    // Positions only; the geometry shader fans the triangles out to the six faces. It takes
    // triangles alone, so wireframe mode must not turn this draw into lines.
    std::shared_ptr<ModelData> model = object->getModel();
    setMatrix(_omniShadowUniforms.modelMatrix, object->getWorldMatrix());
    model->_vertexBuffer.bind();
    model->_vertexBuffer.drawTriangles();
    model->_vertexBuffer.unbind();
}

void DeferredRenderingPipeline::bindGeometryTextures(const LightingUniforms& uniforms) {
    const GLint samplers[3] = {uniforms.positionMap, uniforms.colorMap, uniforms.normalMap};
    for (int unit = 0; unit < 3; ++unit) {
        _gBufferTextures[unit]->bind(unit);
        setInt(samplers[unit], unit);
    }
}

void DeferredRenderingPipeline::unbindGeometryTextures() {
    for (int unit = 0; unit < 3; ++unit) _gBufferTextures[unit]->unbind(unit);
}

void DeferredRenderingPipeline::renderPointLightPass(Light* light) {
    // Adds one point light's contribution over the far side of its volume.
    _finalFrameBuffer->bind();
    _pointLightProgram->bind();
    bindGeometryTextures(_pointLightUniforms);
    _cubeShadowMap->bind(kCubeShadowMapUnit);
    setInt(_pointLightValues.cubeShadowMap, kCubeShadowMapUnit);
    setVector(_pointLightValues.nearFar, vec2(light->_shadowNear, light->_shadowFar));
    setVector(_pointLightUniforms.eyeWorldPos, camera->_position);
    setFloat(_pointLightUniforms.specularExponent, kSpecularExponent);
    setVector(_pointLightUniforms.screenSize, windowSize());
    setVector(_pointLightValues.diffuseColor, kPointDiffuseScale * light->_diffuseColor);
    setVector(_pointLightValues.ambientColor, kPointAmbientScale * light->_ambientColor);
    setVector(_pointLightValues.position, light->getWorldPosition());
    setVector(_pointLightValues.specularColor, kPointSpecularScale * light->_specularColor);
    setFloat(_pointLightValues.attenuationConstant, light->_attenuationConstant);
    setFloat(_pointLightValues.attenuationLinear, light->_attenuationLinear);
    setFloat(_pointLightValues.attenuationExp, light->_attenuationExp);

    glEnable(GL_STENCIL_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    drawLightVolume(light, _pointLightUniforms.wvp);
    glCullFace(GL_BACK);
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);

    unbindGeometryTextures();
    _cubeShadowMap->unbind(kCubeShadowMapUnit);
    _pointLightProgram->unbind();
    _finalFrameBuffer->unbind();
}

void DeferredRenderingPipeline::renderDirectionalLightPass() {
    // Adds the directional light over the whole screen.
    _finalFrameBuffer->bind();
    _directionalLightProgram->bind();
    bindGeometryTextures(_directionalLightUniforms);
    setMatrix(_directionalLightUniforms.wvp, mat4(1.0f));
    setVector(_directionalLightUniforms.eyeWorldPos, camera->_position);
    setFloat(_directionalLightUniforms.specularExponent, kSpecularExponent);
    setVector(_directionalLightUniforms.screenSize, windowSize());
    setVector(_directionalLightValues.diffuseColor, directionalLight._diffuseColor);
    setVector(_directionalLightValues.ambientColor, directionalLight._ambientColor);
    setVector(_directionalLightValues.direction, -directionalLight._direction);
    setVector(_directionalLightValues.specularColor, directionalLight._specularColor);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    screenQuad->bind();
    screenQuad->draw();
    screenQuad->unbind();
    glDisable(GL_BLEND);

    unbindGeometryTextures();
    _directionalLightProgram->unbind();
    _finalFrameBuffer->unbind();
}

void DeferredRenderingPipeline::renderDepthView() {
    // Debug view 4: eye distance from the camera's depth buffer as grey levels in _finalTexture.
    _finalFrameBuffer->bind();
    _depthViewProgram->bind();
    camera->_depthTexture->bind(kDepthViewUnit);
    setInt(_depthViewUniforms.depthMap, kDepthViewUnit);
    setMatrix(_depthViewUniforms.wvp, mat4(1.0f));
    setVector(_depthViewUniforms.nearFar, vec2(camera->_near, camera->_far));
    setVector(_depthViewUniforms.screenSize, windowSize());
    screenQuad->bind();
    screenQuad->draw();
    screenQuad->unbind();
    camera->_depthTexture->unbind(kDepthViewUnit);
    _depthViewProgram->unbind();
    _finalFrameBuffer->unbind();
}

void DeferredRenderingPipeline::renderFinalPass() {
    // Copies the lit image, or the buffer deferredDebugView names, into the camera's framebuffer.
    if (!camera) return;
    const int view = deferredDebugView;
    if (view == kDepthDebugView) renderDepthView();
    camera->_frameBuffer->setDrawBuffers({GL_COLOR_ATTACHMENT0});
    switch (view) {
        case 1: _gBuffer->bindForReading(GL_COLOR_ATTACHMENT0); break;
        case 2: _gBuffer->bindForReading(GL_COLOR_ATTACHMENT1); break;
        case 3: _gBuffer->bindForReading(GL_COLOR_ATTACHMENT2); break;
        default: _finalFrameBuffer->bindForReading(GL_COLOR_ATTACHMENT0); break;
    }
    const GLint width = windowSettings.width;
    const GLint height = windowSettings.height;
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    _finalFrameBuffer->unbind();
    camera->_frameBuffer->unbind();
}

}  // namespace VantorEngine
