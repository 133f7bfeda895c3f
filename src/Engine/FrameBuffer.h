#pragma once
#include <GL/glew.h>

#include <vector>

#include "IResource.h"
#include "MathUtils.h"

namespace VantorEngine {

class RenderTexture;

// A framebuffer object over render textures that its creator owns (not owned here).
class FrameBuffer : public IResource {
public:
    // `colorTextures` and `depthTexture` may be null; entry i of `drawBuffers` is the attachment
    // point of colour texture i. Attaches, checks completeness (stops the program when
    // incomplete) and clears the new attachments once.
    FrameBuffer(const std::vector<RenderTexture*>* colorTextures, const std::vector<GLenum>* drawBuffers,
                RenderTexture* depthTexture, bool useStencil);
    ~FrameBuffer() override;

    // Draw target, with the viewport set to the attachment size through currentViewport.
    void bind() override;
    // Back to the window for drawing and reading.
    void unbind() override;
    // Replaces the draw-buffer list, binds, and selects the list when it is not empty.
    virtual void setDrawBuffers(const std::vector<GLenum>& drawBuffers);
    // Read source for blits: binds GL_READ_FRAMEBUFFER and selects `attachment`.
    virtual void bindForReading(GLenum attachment);
    // Clears whatever draw framebuffer is bound (one glClear, also with an empty mask).
    virtual void clear(bool clearColorBuffer, bool clearDepthBuffer, bool clearStencilBuffer, vec4 color,
                       float depth, int stencil);

    std::vector<GLenum> _drawBuffers;
    int _width = 0;
    int _height = 0;
};

}  // namespace VantorEngine
