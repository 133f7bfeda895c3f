#include "CubemapTexture.h"

#include <vector>

#include "GLStateCache.h"
#include "Texture.h"

namespace VantorEngine {

namespace {
// BMP rows are padded to 4 bytes, which is what this unpack alignment consumes.
constexpr GLint kBMPUnpackAlignment = 4;
}  // namespace

CubemapTexture::CubemapTexture(const std::string& folder, const std::string& posXFile, const std::string& negXFile,
                               const std::string& posYFile, const std::string& negYFile,
                               const std::string& posZFile, const std::string& negZFile) {
    _id = 0;
    const std::string prefix = (!folder.empty() && folder.back() == '\\') ? folder : folder + '\\';
    const std::string* files[] = {&posXFile, &negXFile, &posYFile, &negYFile, &posZFile, &negZFile};
    for (size_t i = 0; i < _facePaths.size(); ++i) _facePaths[i] = prefix + *files[i];

    glGenTextures(1, &_id);
    glBindTexture(GL_TEXTURE_CUBE_MAP, _id);
    // One buffer serves all faces: a face that cannot be read repeats the previous face's image.
    std::vector<unsigned char> pixels;
    int width = 0;
    int height = 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, kBMPUnpackAlignment);
    for (size_t i = 0; i < _facePaths.size(); ++i) {
        readBMP(_facePaths[i], pixels, width, height, GL_MAX_CUBE_MAP_TEXTURE_SIZE);
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(i), 0, GL_RGB, width, height, 0, GL_BGR,
                     GL_UNSIGNED_BYTE, pixels.empty() ? nullptr : pixels.data());
    }
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

CubemapTexture::~CubemapTexture() {
    if (_id != 0) glDeleteTextures(1, &_id);
}

void CubemapTexture::bind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(GL_TEXTURE_CUBE_MAP, _id);
}

void CubemapTexture::unbind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

}  // namespace VantorEngine
