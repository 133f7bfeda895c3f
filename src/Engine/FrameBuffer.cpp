#include "FrameBuffer.h"

#include <cstdio>
#include <cstdlib>

#include "GLStateCache.h"
#include "RenderTexture.h"

namespace VantorEngine {

namespace {

// An incomplete framebuffer cannot be drawn into; the program has no way on without it.
[[noreturn]] void failedCheck(const char* condition, int line) {
    std::fflush(stdout);
    std::fprintf(stderr, "Assertion failed: %s, file src\\Engine\\FrameBuffer, line %d\n", condition, line);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

FrameBuffer::FrameBuffer(const std::vector<RenderTexture*>* colorTextures, const std::vector<GLenum>* drawBuffers,
                         RenderTexture* depthTexture, bool useStencil) {
    glGenFramebuffers(1, &_id);

    glBindFramebuffer(GL_FRAMEBUFFER, _id);
    if (depthTexture) {
        const GLenum point = useStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        if (depthTexture->_type == DEPTH_CUBE) {
            // Attached whole, so a geometry shader can pick the face as the layer.
            glFramebufferTexture(GL_FRAMEBUFFER, point, depthTexture->_id, 0);
        } else {
            glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, point, GL_TEXTURE_2D, depthTexture->_id, 0);
        }
        _width = depthTexture->_width;
        _height = depthTexture->_height;
    }
    if (colorTextures) {
        if (drawBuffers) _drawBuffers = *drawBuffers;
        // Entry i of the draw-buffer list is the attachment point of colour texture i.
        if (_drawBuffers.size() < colorTextures->size()) {
            failedCheck("drawBuffers->size() >= colorTextures->size()", __LINE__);
        }
        for (size_t i = 0; i < colorTextures->size(); ++i) {
            const RenderTexture* texture = (*colorTextures)[i];
            glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, _drawBuffers[i], GL_TEXTURE_2D, texture->_id, 0);
            glDrawBuffers(static_cast<GLsizei>(_drawBuffers.size()), _drawBuffers.data());
            _width = texture->_width;
            _height = texture->_height;
        }
    } else {
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
    }
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) failedCheck("status == GL_FRAMEBUFFER_COMPLETE", __LINE__);

    GLbitfield mask = 0;
    if (colorTextures) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (depthTexture) {
        glClearDepth(1.0);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (useStencil) {
        glClearStencil(0);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(mask);
}

FrameBuffer::~FrameBuffer() { glDeleteFramebuffers(1, &_id); }

void FrameBuffer::bind() {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, _id);
    const Viewport wanted{0, 0, _width, _height};
    if (currentViewport != wanted) {
        glViewport(0, 0, _width, _height);
        currentViewport = wanted;
    }
}

void FrameBuffer::unbind() {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
}

void FrameBuffer::setDrawBuffers(const std::vector<GLenum>& drawBuffers) {
    _drawBuffers = drawBuffers;
    bind();
    if (!_drawBuffers.empty()) glDrawBuffers(static_cast<GLsizei>(_drawBuffers.size()), _drawBuffers.data());
}

void FrameBuffer::bindForReading(GLenum attachment) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, _id);
    glReadBuffer(attachment);
}

void FrameBuffer::clear(bool clearColorBuffer, bool clearDepthBuffer, bool clearStencilBuffer, vec4 color,
                        float depth, int stencil) {
    GLbitfield mask = 0;
    if (clearColorBuffer) {
        glClearColor(color.r, color.g, color.b, color.a);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (clearDepthBuffer) {
        glClearDepth(depth);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (clearStencilBuffer) {
        glClearStencil(stencil);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(mask);
}

}  // namespace VantorEngine
