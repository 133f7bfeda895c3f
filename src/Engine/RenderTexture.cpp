#include "RenderTexture.h"

#include "GLStateCache.h"

namespace VantorEngine {

namespace {

constexpr int kCubeFaces = 6;

// Storage call arguments of the 2D kinds.
struct Storage2D {
    GLint internalFormat;
    GLenum format;
    GLenum type;
};

Storage2D storageOf(RenderTextureType type) {
    switch (type) {
        case RGB8: return {GL_RGB, GL_RGB, GL_UNSIGNED_BYTE};
        case RGB32F: return {GL_RGB32F, GL_RGB, GL_FLOAT};
        case DEPTH32: return {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT, GL_FLOAT};
        case DEPTH24_STENCIL8: return {GL_DEPTH_STENCIL, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8};
        case RGBA8:
        default: return {GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE};
    }
}

}  // namespace

RenderTexture::RenderTexture(int width, int height, RenderTextureType type) {
    glGenTextures(1, &_id);
    if (type == DEPTH_CUBE) {
        glBindTexture(GL_TEXTURE_CUBE_MAP, _id);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        for (int i = 0; i < kCubeFaces; ++i) {
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_DEPTH_COMPONENT24, width, height, 0,
                         GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, nullptr);
        }
    } else {
        const Storage2D storage = storageOf(type);
        glBindTexture(GL_TEXTURE_2D, _id);
        glTexImage2D(GL_TEXTURE_2D, 0, storage.internalFormat, width, height, 0, storage.format, storage.type,
                     nullptr);
        if (type == DEPTH32) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LESS);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        }
        if (type == RGB32F) {
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        } else {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    _width = width;
    _height = height;
    _type = type;
}

RenderTexture::~RenderTexture() { glDeleteTextures(1, &_id); }

GLenum RenderTexture::target() const { return _type == DEPTH_CUBE ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D; }

void RenderTexture::bind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(target(), _id);
}

void RenderTexture::unbind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(target(), 0);
}

}  // namespace VantorEngine
