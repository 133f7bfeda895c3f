#pragma once
// The cube-mapped sky around the camera, drawn behind what the frame already holds: depth
// writes off, depth test GL_LEQUAL, and a view matrix without translation so the sky never
// moves with the eye. Does not visit the scene.
#include <GL/glew.h>

#include <memory>

#include "IRenderPipeline.h"
#include "MathUtils.h"

namespace VantorEngine {

class CubemapTexture;
class GLSLProgram;
struct ModelData;

class SkyboxRenderPipeline : public IRenderPipeline {
public:
    // Needs the OpenGL context current and the engine's `camera` set.
    SkyboxRenderPipeline();
    SkyboxRenderPipeline(const SkyboxRenderPipeline&) = delete;
    SkyboxRenderPipeline& operator=(const SkyboxRenderPipeline&) = delete;

    // Draws the sky into the camera's framebuffer; nothing without a camera.
    void render() override;
    // The sky draws no scene objects.
    void draw(GameObject* object) override;
    virtual ~SkyboxRenderPipeline();

    static constexpr int kCubemapUnit = 0;

    std::shared_ptr<GLSLProgram> _program;
    std::shared_ptr<ModelData> _cubeMesh;         // the shared cube, positions only
    std::shared_ptr<CubemapTexture> _cubemap;     // held by this pipeline alone
    GLint _projectionLocation = 0;
    GLint _viewLocation = 0;
    GLint _cubemapLocation = 0;  // looked up but never set: the sampler's default 0 is kCubemapUnit
};

// The upper-left 3 × 3 block of `view` with (0, 0, 0, 1) as fourth column and row.
mat4 withoutTranslation(const mat4& view);

}  // namespace VantorEngine
