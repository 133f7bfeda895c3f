#pragma once
// Deferred shading of the scene's ordinary meshes (those without _shadowMapped): a geometry
// buffer of positions, colours and normals; per point light a stencil marking of its volume, a
// cube shadow map and an additive lighting pass; an additive directional-light pass; and a final
// copy of the lit image, or of one geometry buffer for inspection, into the camera's framebuffer.
#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "IRenderPipeline.h"
#include "MathUtils.h"

namespace VantorEngine {

class FrameBuffer;
class GLSLProgram;
class Light;
class RenderTexture;
struct ModelData;

// Rotation of each cube-map face in GL face order (+X, -X, +Y, -Y, +Z, -Z): look-at from the
// origin towards the face with the face's up vector.
extern const std::array<mat4, 6> cubeFaceViews;

class DeferredRenderingPipeline final : public IRenderPipeline {
public:
    // Needs the OpenGL context, windowSettings and the engine's `camera`.
    DeferredRenderingPipeline();
    DeferredRenderingPipeline(const DeferredRenderingPipeline&) = delete;
    DeferredRenderingPipeline& operator=(const DeferredRenderingPipeline&) = delete;
    // Not virtual: the engine deletes this pipeline through its own type.
    ~DeferredRenderingPipeline();

    // One deferred frame into the camera's framebuffer; nothing without a camera.
    void render() override;
    // Callback of the geometry (state 0) and cube-shadow (state 2) traversals.
    void draw(GameObject* object) override;

    static constexpr int kCubeShadowMapSize = 1024;
    static constexpr int kCubeShadowMapUnit = 4;
    static constexpr int kColorMapUnit = 0;
    static constexpr int kDepthViewUnit = 0;
    // deferredDebugView: 0 lit image, 1 positions, 2 colours, 3 normals, 4 depth; others as 0.
    static constexpr int kDepthDebugView = 4;
    static constexpr float kSpecularExponent = 5.0f;
    static constexpr float kPointDiffuseScale = 2.0f;
    static constexpr float kPointAmbientScale = 3.0f;
    static constexpr float kPointSpecularScale = 2.0f;

    // Locations of the uniforms both lighting programs share.
    struct LightingUniforms {
        GLint wvp = 0;
        GLint positionMap = 0;
        GLint colorMap = 0;
        GLint normalMap = 0;
        GLint eyeWorldPos = 0;
        GLint specularExponent = 0;
        GLint screenSize = 0;
    };

    int32_t _state = 0;  // 0 geometry, 1 stencil, 2 cube shadow, 3 point light, 4 directional, 5 final
    std::vector<std::unique_ptr<RenderTexture>> _gBufferTextures;  // [0] positions, [1] colours, [2] normals
    std::unique_ptr<RenderTexture> _finalTexture;
    std::unique_ptr<RenderTexture> _cubeShadowMap;
    // Depth-stencil attachment is the camera's _depthTexture (owned by the camera).
    std::unique_ptr<FrameBuffer> _gBuffer;
    std::unique_ptr<FrameBuffer> _finalFrameBuffer;
    std::unique_ptr<FrameBuffer> _cubeShadowFrameBuffer;
    std::shared_ptr<GLSLProgram> _geometryProgram;
    std::shared_ptr<GLSLProgram> _stencilProgram;
    std::shared_ptr<GLSLProgram> _omniShadowProgram;
    std::shared_ptr<GLSLProgram> _pointLightProgram;
    std::shared_ptr<GLSLProgram> _directionalLightProgram;
    // Debug view 4: the depth buffer as grey levels (a colour blit cannot read a depth attachment).
    std::shared_ptr<GLSLProgram> _depthViewProgram;
    // Stand-in volume of a light without a model: the shared cube (see drawLightVolume).
    std::shared_ptr<ModelData> _unitLightVolume;

    struct {
        GLint wvp = 0, world = 0, colorMap = 0;
    } _geometryUniforms;
    GLint _stencilWVPLocation = 0;
    struct {
        GLint modelMatrix = 0, cubemapMatrix = 0, nearFar = 0, lightPos = 0;
    } _omniShadowUniforms;
    LightingUniforms _pointLightUniforms;
    struct {
        GLint diffuseColor = 0, ambientColor = 0, position = 0, nearFar = 0, cubeShadowMap = 0,
              specularColor = 0, attenuationConstant = 0, attenuationLinear = 0, attenuationExp = 0;
    } _pointLightValues;
    LightingUniforms _directionalLightUniforms;
    struct {
        GLint diffuseColor = 0, ambientColor = 0, direction = 0, specularColor = 0;
    } _directionalLightValues;
    struct {
        GLint wvp = 0, depthMap = 0, nearFar = 0, screenSize = 0;
    } _depthViewUniforms;

private:
    void renderGeometryPass();
    void drawGeometry(GameObject* object);
    void renderStencilPass(Light* light);
    void renderPointShadowPass(Light* light);
    void drawShadowCaster(GameObject* object);
    void renderPointLightPass(Light* light);
    void renderDirectionalLightPass();
    void renderDepthView();
    void renderFinalPass();
    // Draws the light's volume with `wvpLocation` = camera projection × view × volume world matrix.
    void drawLightVolume(Light* light, GLint wvpLocation);
    void bindGeometryTextures(const LightingUniforms& uniforms);
    void unbindGeometryTextures();
};

// The 90° perspective of a cube-map face between `near` and `far`.
mat4 cubeFaceProjection(float near, float far);

// Projection × face view (cubeFaceViews[i] × translate(-lightPosition)) for the six faces.
std::array<mat4, 6> cubeFaceMatrices(const vec3& lightPosition, float near, float far);

}  // namespace VantorEngine
