#pragma once
#include <GL/glew.h>

namespace VantorEngine {

// Base of every texture class: owns one GL texture name (0 when nothing was loaded).
class ITexture {
public:
    ITexture() = default;
    ITexture(const ITexture&) = delete;
    ITexture& operator=(const ITexture&) = delete;
    virtual ~ITexture() = default;
    // `unit` 0 means GL_TEXTURE0; the unit is selected through the activeTextureUnit cache.
    virtual void bind(int unit) = 0;
    virtual void unbind(int unit) = 0;

    GLuint _id = 0;
};

}  // namespace VantorEngine
