#include "SkyboxRenderPipeline.h"

#include "Camera.h"
#include "CubemapTexture.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLSLProgram.h"
#include "ModelData.h"
#include "ResourceCache.h"

#include <glm/gtc/type_ptr.hpp>

namespace VantorEngine {

mat4 withoutTranslation(const mat4& view) {
    mat4 rotation(1.0f);
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row) rotation[column][row] = view[column][row];
    return rotation;
}

SkyboxRenderPipeline::SkyboxRenderPipeline() {
    // Fetches the sky program, the shared cube and the six faces, then the uniforms.
    _camera = camera;
    _program = getOrCreateProgram("resources\\shaders\\Skybox.vs", "resources\\shaders\\Skybox.fs", "");
    _cubeMesh = getOrCreateSkyboxModel();
    _cubemap = std::make_shared<CubemapTexture>("resources\\textures\\", "posx.bmp", "negx.bmp", "posy.bmp",
                                                "negy.bmp", "posz.bmp", "negz.bmp");
    _projectionLocation = _program->getUniformLocation("projection");
    _viewLocation = _program->getUniformLocation("view");
    _cubemapLocation = _program->getUniformLocation("cubemap");
    _program->unbind();
}

SkyboxRenderPipeline::~SkyboxRenderPipeline() {
    _program.reset();
    _cubemap.reset();
    _cubeMesh.reset();
}

void SkyboxRenderPipeline::draw(GameObject*) {}

void SkyboxRenderPipeline::render() {
    // Draws the cube behind the frame's contents and leaves the state the volume pass starts from.
    if (!_camera) return;
    _program->bind();
    _camera->_frameBuffer->bind();

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LEQUAL);

    const mat4 view = withoutTranslation(_camera->_viewMatrix);
    const mat4& projection = _camera->_projectionMatrix;
    if (_viewLocation >= 0) glUniformMatrix4fv(_viewLocation, 1, GL_FALSE, glm::value_ptr(view));
    if (_projectionLocation >= 0) glUniformMatrix4fv(_projectionLocation, 1, GL_FALSE, glm::value_ptr(projection));

    _cubemap->bind(kCubemapUnit);
    _cubeMesh->_vertexBuffer.bind();
    _cubeMesh->_vertexBuffer.draw();
    _cubeMesh->_vertexBuffer.unbind();
    _cubemap->unbind(kCubemapUnit);

    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);

    _camera->_frameBuffer->unbind();
    _program->unbind();
}

}  // namespace VantorEngine
