#pragma once
#include <GL/glew.h>

#include <string>
#include <vector>

#include "ITexture.h"

namespace VantorEngine {

// A 2D image texture loaded from a .dds, .bmp, .png or .jpg file; _id 0 when nothing loaded.
class Texture : public ITexture {
public:
    // An empty path loads nothing and prints nothing.
    explicit Texture(std::string path);
    ~Texture() override;

    void bind(int unit) override;
    // Selects the unit and binds 0 to GL_TEXTURE_2D there, like the other texture classes.
    void unbind(int unit) override;

    // Chooses the reader from the (case-insensitive) last four characters of the path; sets _id.
    void loadTextureFile(const std::string& path, GLint minFilter, GLint magFilter);
};

// 24-bit BMP: reads and uploads with mipmaps; 0 (no texture object) when the file is rejected.
GLuint loadBMP(const std::string& path, GLint minFilter, GLint magFilter);

// 24-bit BMP reader. Replaces `pixels`, `width` and `height` only on success (rows bottom-up,
// BGR, each row padded to 4 bytes); prints the reason and returns false otherwise. An image
// wider or taller than the GL limit `sizeLimit` names (GL_MAX_TEXTURE_SIZE, or
// GL_MAX_CUBE_MAP_TEXTURE_SIZE for a cube face) is refused, since the upload would fail.
bool readBMP(const std::string& path, std::vector<unsigned char>& pixels, int& width, int& height,
             GLenum sizeLimit = GL_MAX_TEXTURE_SIZE);

// DXT1/DXT3/DXT5 DDS with its mipmap levels; 0 on failure.
GLuint loadDDS(const std::string& path);

// PNG or JPEG through stb_image, as RGBA with mipmaps. A file that cannot be read still
// yields a texture object (1 x 1 opaque black) after the error lines on standard error.
GLuint loadImageFile(const std::string& path, GLint minFilter, GLint magFilter);

}  // namespace VantorEngine
