#pragma once
#include <GL/glew.h>

#include "ITexture.h"

namespace VantorEngine {

// Storage kinds of a render texture (4 is not assigned).
enum RenderTextureType : int {
    RGB8 = 1,
    RGB32F = 2,
    RGBA8 = 3,
    DEPTH32 = 5,
    DEPTH24_STENCIL8 = 6,
    DEPTH_CUBE = 7,
};

// An empty texture of a fixed size and storage kind, rendered into and then sampled.
class RenderTexture : public ITexture {
public:
    RenderTexture(int width, int height, RenderTextureType type);
    ~RenderTexture() override;

    // DEPTH_CUBE binds on GL_TEXTURE_CUBE_MAP, every other kind on GL_TEXTURE_2D.
    void bind(int unit) override;
    void unbind(int unit) override;

    // GL_TEXTURE_CUBE_MAP for DEPTH_CUBE, GL_TEXTURE_2D otherwise.
    GLenum target() const;

    int _width = 0;
    int _height = 0;
    RenderTextureType _type = RGBA8;
};

}  // namespace VantorEngine
