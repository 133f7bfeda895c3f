#pragma once
// Textured meshes lit by the directional light and shadowed through a depth map rendered from
// that light: a depth pass into the 4096 × 4096 shadow map, then a shaded pass into the camera's
// framebuffer. Draws the active nodes of an enabled layer that have _shadowMapped set.
#include <GL/glew.h>

#include <cstdint>
#include <memory>

#include "IRenderPipeline.h"
#include "MathUtils.h"

namespace VantorEngine {

class FrameBuffer;
class GLSLProgram;
class RenderTexture;

class ShadowMappingPipeline : public IRenderPipeline {
public:
    // Needs the OpenGL context current and the engine's `camera` set.
    ShadowMappingPipeline();
    ShadowMappingPipeline(const ShadowMappingPipeline&) = delete;
    ShadowMappingPipeline& operator=(const ShadowMappingPipeline&) = delete;

    // Depth pass, then shading pass; nothing without a camera.
    void render() override;
    // Per-object callback of the two traversals, dispatched on _state.
    void draw(GameObject* object) override;
    virtual ~ShadowMappingPipeline();

    static constexpr int kShadowMapSize = 4096;
    static constexpr int kDiffuseTextureUnit = 0;
    static constexpr int kShadowMapUnit = 1;
    static constexpr float kShadowMappingSampleDistance = 5000.0f;
    static constexpr float kDepthPassOffsetFactor = 4.0f;

    int32_t _state = 0;  // 0 depth pass, 1 shading pass
    std::unique_ptr<FrameBuffer> _shadowFrameBuffer;  // owned; only attachment is _shadowMap
    std::unique_ptr<RenderTexture> _shadowMap;        // owned
    std::shared_ptr<GLSLProgram> _shadingProgram;
    std::shared_ptr<GLSLProgram> _zBufferProgram;
    vec2 _textureTiling = vec2(1.0f, 1.0f);

    // Uniform locations, -1 where the program lacks the uniform.
    GLint _lightMVPLocation = 0;
    GLint _mvpLocation = 0;
    GLint _lightBiasMVPLocation = 0;
    GLint _viewLocation = 0;
    GLint _modelLocation = 0;
    GLint _invLightDirectionLocation = 0;
    GLint _diffuseTextureSamplerLocation = 0;
    GLint _shadowMapLocation = 0;
    GLint _lightDiffuseColorLocation = 0;
    GLint _lightAmbientColorLocation = 0;
    GLint _lightSpecularColorLocation = 0;
    GLint _eyeWorldPosLocation = 0;
    GLint _sampleDistanceLocation = 0;
    GLint _textureTilingLocation = 0;
    GLint _specularExponentLocation = 0;

private:
    void renderDepthPass();
    void renderShadingPass();
    void drawDepth(GameObject* object);
    void drawShaded(GameObject* object);
};

// Maps the light's clip cube -1..1 onto 0..1 in x, y and depth: shadow-map coordinates and the
// reference depth come straight out of bias × light projection × light view × world.
mat4 shadowBiasMatrix();

}  // namespace VantorEngine
