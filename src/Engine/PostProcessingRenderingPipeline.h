#pragma once
// Depth of field and bloom on the camera's image: a blur amount per pixel from the depth, a
// blurred copy of the image, its blurred bright parts, and their blend under an exposure factor.
// postProcessingDebugView chooses which image goes back into the camera's framebuffer.
#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IRenderPipeline.h"

namespace VantorEngine {

class FrameBuffer;
class GLSLProgram;
class RenderTexture;

class PostProcessingRenderingPipeline final : public IRenderPipeline {
public:
    // Needs the OpenGL context, windowSettings and the engine's `camera`.
    PostProcessingRenderingPipeline();
    PostProcessingRenderingPipeline(const PostProcessingRenderingPipeline&) = delete;
    PostProcessingRenderingPipeline& operator=(const PostProcessingRenderingPipeline&) = delete;
    // Not virtual: the engine deletes this pipeline through its own type.
    ~PostProcessingRenderingPipeline();

    // The whole chain on the camera's current image; nothing without a camera.
    void render() override;
    // Post-processing draws no scene objects.
    void draw(GameObject* object) override;

    // The one-line description of debug view `view` (0 to 3) with the current focus settings.
    static std::string viewMessage(int view);

    static constexpr int kBlurPasses = 5;
    static constexpr int kDebugViewCount = 4;  // 0 composite, 1 blur value, 2 bloom, 3 unchanged

    int32_t _width = 0;
    int32_t _height = 0;
    // [0] blur value, [1] blurred image; [2] the other half of the blur's ping-pong.
    std::vector<std::unique_ptr<RenderTexture>> _depthOfFieldTextures;
    // [0] bright parts, [1] blurred bright parts; [2] the other half of the blur's ping-pong.
    std::vector<std::unique_ptr<RenderTexture>> _bloomTextures;
    std::vector<std::unique_ptr<RenderTexture>> _resultTextures;  // [0] the composite
    // [0] over _depthOfFieldTextures, [1] over _bloomTextures, [2] over _resultTextures.
    std::vector<std::unique_ptr<FrameBuffer>> _frameBuffers;
    std::shared_ptr<GLSLProgram> _blurValueProgram;
    std::shared_ptr<GLSLProgram> _gaussianProgram;
    std::shared_ptr<GLSLProgram> _brightColorProgram;
    std::shared_ptr<GLSLProgram> _finalBlendingProgram;

    struct {
        GLint tex0 = 0, focalDistance = 0, focalRange = 0, nearFar = 0;
    } _blurValueUniforms;
    struct {
        GLint tex0 = 0, horizontal = 0, width = 0, height = 0;
    } _gaussianUniforms;
    GLint _brightColorTex0Location = 0;
    struct {
        GLint colorTex = 0, blurValueTex = 0, gaussianTex = 0, bloomTex = 0, exposure = 0;
    } _finalBlendingUniforms;

private:
    // Draws into attachment `attachment` of _frameBuffers[frameBuffer] after clearing it.
    void target(int frameBuffer, int attachment);
    // Five separable Gaussian passes from `source` that end in attachment 1 of `frameBuffer`,
    // alternating between its attachments 1 and 2 so no pass reads the texture it draws into.
    void blur(int frameBuffer, RenderTexture* source, std::vector<std::unique_ptr<RenderTexture>>& textures);
    void drawScreenQuad();
};

}  // namespace VantorEngine
