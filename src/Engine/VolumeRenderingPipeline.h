#pragma once
// Draws the volumetric objects of the scene with view-aligned slices, split at the camera's
// focal plane into a back stack and a front stack that are accumulated separately by
// ping-pong and then laid over each other into the camera's framebuffer.
#include <GL/glew.h>

#include <memory>

#include "IRenderPipeline.h"

namespace VantorEngine {

class Camera;
class FrameBuffer;
class GLSLProgram;
class ITexture;
class RenderTexture;
class Texture;
struct VolumeSliceFrame;

class VolumeRenderingPipeline : public IRenderPipeline {
public:
    // Reads the engine's camera and windowSettings: build it after the game manager's init.
    VolumeRenderingPipeline();
    VolumeRenderingPipeline(const VolumeRenderingPipeline&) = delete;
    VolumeRenderingPipeline& operator=(const VolumeRenderingPipeline&) = delete;

    // Visits the scene when there is a camera; each node arrives at draw.
    void render() override;
    // Slices and composites one active volumetric node into the camera's framebuffer.
    void draw(GameObject* object) override;
    virtual ~VolumeRenderingPipeline();
    // Draws `texture` over the whole `target` through the passthrough program, with the given
    // separate blend factors.
    virtual void compositeTexture(ITexture* texture, FrameBuffer* target, GLenum srcRGB, GLenum dstRGB,
                                  GLenum srcAlpha, GLenum dstAlpha);

    Camera* _sceneCamera = nullptr;  // not owned
    int _width = 0;
    int _height = 0;
    std::shared_ptr<GLSLProgram> _volumeProgram;
    std::shared_ptr<GLSLProgram> _passthroughProgram;
    RenderTexture* _sliceTextures[2] = {nullptr, nullptr};     // owned
    FrameBuffer* _sliceFrameBuffers[2] = {nullptr, nullptr};   // owned
    RenderTexture* _stackTextures[2] = {nullptr, nullptr};     // owned: 0 back stack, 1 front stack
    FrameBuffer* _stackFrameBuffers[2] = {nullptr, nullptr};   // owned
    int _pingPong = 0;
    std::shared_ptr<Texture> _noiseTexture;
    std::shared_ptr<Texture> _transferFunction;

    // Uniform locations, fetched once at construction (-1: absent, never set).
    struct VolumeUniforms {
        GLint volumeTexture = -1;
        GLint pv = -1;
        GLint modelMatrix = -1;
        GLint invM = -1;
        GLint divRefByCurSamplingRate = -1;
        GLint sliceModel = -1;
        GLint noiseTexture = -1;
        GLint noisePosOffset = -1;
        GLint noiseOffsetFactor = -1;
        GLint eyeSampleTexture = -1;
        GLint texSize = -1;
        GLint sliceDistScreenSpace = -1;
        GLint sliceStack = -1;
        GLint nearFar = -1;
        GLint circleOfConfusionRadius = -1;
        GLint lightPos = -1;
        GLint eyePos = -1;
        GLint lightColor = -1;
        GLint trfuncDelta = -1;
        GLint trfuncTexture2d = -1;
    } _uniforms;
    GLint _eyeTextureLocation = -1;  // passthrough program

private:
    // Draws one slice at slice-frame z into the current ping-pong target, reading the other.
    void drawSlice(const VolumeSliceFrame& frame, float z);
    void clearSliceTargets();
};

}  // namespace VantorEngine
