#include "PostProcessingRenderingPipeline.h"

#include <cstdio>

#include "Camera.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLSLProgram.h"
#include "MathUtils.h"
#include "RenderTexture.h"
#include "ResourceCache.h"
#include "VertexBuffer.h"

namespace VantorEngine {

namespace {

constexpr int kSourceUnit = 0;
constexpr int kColorUnit = 0;
constexpr int kBlurValueUnit = 1;
constexpr int kBlurredImageUnit = 2;
constexpr int kBloomUnit = 3;
constexpr int kTexturesPerChain = 3;

void setInt(GLint location, int value) {
    if (location >= 0) glUniform1i(location, value);
}
void setFloat(GLint location, float value) {
    if (location >= 0) glUniform1f(location, value);
}

std::unique_ptr<FrameBuffer> frameBufferOver(const std::vector<std::unique_ptr<RenderTexture>>& textures) {
    std::vector<RenderTexture*> colors;
    std::vector<GLenum> drawBuffers;
    for (size_t i = 0; i < textures.size(); ++i) {
        colors.push_back(textures[i].get());
        drawBuffers.push_back(static_cast<GLenum>(GL_COLOR_ATTACHMENT0 + i));
    }
    return std::make_unique<FrameBuffer>(&colors, &drawBuffers, nullptr, false);
}

}  // namespace

PostProcessingRenderingPipeline::PostProcessingRenderingPipeline() {
    // Fetches the four programs and their uniforms and builds the seven targets.
    _camera = camera;
    _width = windowSettings.width;
    _height = windowSettings.height;

    _blurValueProgram = getOrCreateProgram("resources\\shaders\\DOFpassthrough.vs",
                                           "resources\\shaders\\DOFBlurValue.fs", "");
    _gaussianProgram = getOrCreateProgram("resources\\shaders\\passthrough.vs",
                                          "resources\\shaders\\BloomGaussian.fs", "");
    _blurValueUniforms.tex0 = _blurValueProgram->getUniformLocation("Tex0");
    _blurValueUniforms.focalDistance = _blurValueProgram->getUniformLocation("focalDistance");
    _blurValueUniforms.focalRange = _blurValueProgram->getUniformLocation("focalRange");
    _blurValueUniforms.nearFar = _blurValueProgram->getUniformLocation("nearFar");
    _gaussianUniforms.tex0 = _gaussianProgram->getUniformLocation("Tex0");
    _gaussianUniforms.horizontal = _gaussianProgram->getUniformLocation("horizontal");
    _gaussianUniforms.width = _gaussianProgram->getUniformLocation("Width");
    _gaussianUniforms.height = _gaussianProgram->getUniformLocation("Height");

    for (int i = 0; i < kTexturesPerChain; ++i)
        _depthOfFieldTextures.push_back(std::make_unique<RenderTexture>(_width, _height, RGBA8));
    _frameBuffers.push_back(frameBufferOver(_depthOfFieldTextures));

    _brightColorProgram = getOrCreateProgram("resources\\shaders\\DOFpassthrough.vs",
                                             "resources\\shaders\\BloomBrightColor.fs", "");
    _brightColorTex0Location = _brightColorProgram->getUniformLocation("Tex0");
    for (int i = 0; i < kTexturesPerChain; ++i)
        _bloomTextures.push_back(std::make_unique<RenderTexture>(_width, _height, RGBA8));
    _frameBuffers.push_back(frameBufferOver(_bloomTextures));

    _finalBlendingProgram = getOrCreateProgram("resources\\shaders\\DOFpassthrough.vs",
                                               "resources\\shaders\\final_blending.fs", "");
    _finalBlendingUniforms.colorTex = _finalBlendingProgram->getUniformLocation("colorTex");
    _finalBlendingUniforms.blurValueTex = _finalBlendingProgram->getUniformLocation("DOF_blurValueTex");
    _finalBlendingUniforms.gaussianTex = _finalBlendingProgram->getUniformLocation("DOF_gaussianTex");
    _finalBlendingUniforms.bloomTex = _finalBlendingProgram->getUniformLocation("BLOOM_gaussian");
    _finalBlendingUniforms.exposure = _finalBlendingProgram->getUniformLocation("exposure");
    _resultTextures.push_back(std::make_unique<RenderTexture>(_width, _height, RGBA8));
    _frameBuffers.push_back(frameBufferOver(_resultTextures));
    _frameBuffers.back()->unbind();
    _finalBlendingProgram->unbind();
}

PostProcessingRenderingPipeline::~PostProcessingRenderingPipeline() {
    _blurValueProgram.reset();
    _gaussianProgram.reset();
    _finalBlendingProgram.reset();
    _brightColorProgram.reset();
    _frameBuffers.clear();
    _depthOfFieldTextures.clear();
    _bloomTextures.clear();
    _resultTextures.clear();
}

void PostProcessingRenderingPipeline::draw(GameObject*) {}

std::string PostProcessingRenderingPipeline::viewMessage(int view) {
    char numbers[96];
    switch (view) {
        case 0:
            std::snprintf(numbers, sizeof numbers, "%f and focalRange: %f", focalDistanceSetting, focalRangeSetting);
            return std::string("Result with Post Processing Effects") + numbers;
        case 1:
            std::snprintf(numbers, sizeof numbers, "%f and focalRange: %f", focalDistanceSetting, focalRangeSetting);
            return std::string("Depth of field : focaldistance: ") + numbers;
        case 2: return "Bloom result";
        case 3: return "Deferred Shading result";
        default: return std::string();
    }
}

void PostProcessingRenderingPipeline::target(int frameBuffer, int attachment) {
    FrameBuffer& fb = *_frameBuffers[frameBuffer];
    fb.setDrawBuffers({static_cast<GLenum>(GL_COLOR_ATTACHMENT0 + attachment)});
    fb.clear(true, true, false, vec4(0.0f), 1.0f, 0);
}

void PostProcessingRenderingPipeline::drawScreenQuad() {
    screenQuad->bind();
    screenQuad->draw();
    screenQuad->unbind();
}

void PostProcessingRenderingPipeline::blur(int frameBuffer, RenderTexture* source,
                                           std::vector<std::unique_ptr<RenderTexture>>& textures) {
    // Passes alternate vertical and horizontal, starting vertical; with five passes the last
    // one lands in attachment 1, where the composite and the views expect the blurred image.
    _gaussianProgram->bind();
    for (int pass = 0; pass < kBlurPasses; ++pass) {
        const int destination = pass % 2 == 0 ? 1 : 2;
        RenderTexture* input = pass == 0 ? source : textures[destination == 1 ? 2 : 1].get();
        target(frameBuffer, destination);
        input->bind(kSourceUnit);
        setInt(_gaussianUniforms.tex0, kSourceUnit);
        setInt(_gaussianUniforms.horizontal, pass % 2);
        setInt(_gaussianUniforms.width, _width);
        setInt(_gaussianUniforms.height, _height);
        drawScreenQuad();
        input->unbind(kSourceUnit);
    }
    _gaussianProgram->unbind();
    _frameBuffers[frameBuffer]->unbind();
}

void PostProcessingRenderingPipeline::render() {
    // Blur value, blurred image, bright parts, their blur, the composite, then the chosen view.
    if (!_camera) return;

    target(0, 0);
    _blurValueProgram->bind();
    _camera->_depthTexture->bind(kSourceUnit);
    setInt(_blurValueUniforms.tex0, kSourceUnit);
    setFloat(_blurValueUniforms.focalDistance, focalDistanceSetting);
    setFloat(_blurValueUniforms.focalRange, focalRangeSetting);
    if (_blurValueUniforms.nearFar >= 0) glUniform2f(_blurValueUniforms.nearFar, _camera->_near, _camera->_far);
    drawScreenQuad();
    _camera->_depthTexture->unbind(kSourceUnit);
    _blurValueProgram->unbind();
    _frameBuffers[0]->unbind();

    blur(0, _camera->_colorTexture, _depthOfFieldTextures);

    target(1, 0);
    _brightColorProgram->bind();
    _camera->_colorTexture->bind(kSourceUnit);
    setInt(_brightColorTex0Location, kSourceUnit);
    drawScreenQuad();
    _camera->_colorTexture->unbind(kSourceUnit);
    _brightColorProgram->unbind();
    _frameBuffers[1]->unbind();

    blur(1, _bloomTextures[0].get(), _bloomTextures);

    target(2, 0);
    _finalBlendingProgram->bind();
    _camera->_colorTexture->bind(kColorUnit);
    _depthOfFieldTextures[0]->bind(kBlurValueUnit);
    _depthOfFieldTextures[1]->bind(kBlurredImageUnit);
    _bloomTextures[1]->bind(kBloomUnit);
    setInt(_finalBlendingUniforms.colorTex, kColorUnit);
    setInt(_finalBlendingUniforms.blurValueTex, kBlurValueUnit);
    setInt(_finalBlendingUniforms.gaussianTex, kBlurredImageUnit);
    setInt(_finalBlendingUniforms.bloomTex, kBloomUnit);
    setFloat(_finalBlendingUniforms.exposure, exposureSetting);
    drawScreenQuad();
    _camera->_colorTexture->unbind(kColorUnit);
    _depthOfFieldTextures[0]->unbind(kBlurValueUnit);
    _depthOfFieldTextures[1]->unbind(kBlurredImageUnit);
    _bloomTextures[1]->unbind(kBloomUnit);
    _finalBlendingProgram->unbind();
    _frameBuffers[2]->unbind();

    FrameBuffer* output = _camera->_frameBuffer;
    output->setDrawBuffers({GL_COLOR_ATTACHMENT0});
    // An out-of-range selector shows the composite, like view 0.
    const int selected = postProcessingDebugView;
    const int view = selected >= 0 && selected < kDebugViewCount ? selected : 0;
    // View 3 is the camera's image as it was: copying it onto itself would be an overlapping
    // blit, which GL leaves undefined, so the target simply stays unchanged.
    bool copy = true;
    switch (view) {
        case 1: _frameBuffers[0]->bindForReading(GL_COLOR_ATTACHMENT0); break;
        case 2: _frameBuffers[1]->bindForReading(GL_COLOR_ATTACHMENT1); break;
        case 3: copy = false; break;
        default: _frameBuffers[2]->bindForReading(GL_COLOR_ATTACHMENT0); break;
    }
    if (printPostProcessingView) std::printf("%s\n", viewMessage(view).c_str());
    printPostProcessingView = false;
    if (copy) {
        const GLint width = windowSettings.width;
        const GLint height = windowSettings.height;
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    }
    _frameBuffers[0]->unbind();
    _frameBuffers[1]->unbind();
    _frameBuffers[2]->unbind();
    output->unbind();
}

}  // namespace VantorEngine
