#include "Texture.h"

#include <stb_image.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "FilePath.h"
#include "GLStateCache.h"
#include "ImageReaders.h"

namespace VantorEngine {

namespace {

constexpr size_t kExtensionLength = 4;
constexpr int kRequestedComponents = 4;
// BMP rows are padded to 4 bytes, which is what this unpack alignment consumes.
constexpr GLint kBMPUnpackAlignment = 4;
// Compressed levels are whole blocks, read byte-exactly.
constexpr GLint kDDSUnpackAlignment = 1;

GLenum glFormatOf(DXTFormat format) {
    switch (format) {
        case DXTFormat::DXT1: return GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
        case DXTFormat::DXT3: return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
        case DXTFormat::DXT5:
        default: return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    }
}

void printCouldNotOpen(const std::string& path) {
    std::printf("%s could not be opened. Are you in the right directory?\n", path.c_str());
}

}  // namespace

Texture::Texture(std::string path) {
    if (!path.empty()) loadTextureFile(path, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
}

Texture::~Texture() {
    if (_id != 0) glDeleteTextures(1, &_id);
}

void Texture::bind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(GL_TEXTURE_2D, _id);
}

void Texture::unbind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Texture::loadTextureFile(const std::string& path, GLint minFilter, GLint magFilter) {
    std::printf("Reading image %s\n", path.c_str());
    std::string extension = path.size() >= kExtensionLength ? path.substr(path.size() - kExtensionLength) : path;
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    if (extension == ".dds") {
        _id = loadDDS(path);
    } else if (extension == ".bmp") {
        _id = loadBMP(path, minFilter, magFilter);
    } else if (extension == ".png" || extension == ".jpg") {
        _id = loadImageFile(path, minFilter, magFilter);
    } else {
        _id = 0;
        std::printf("WARNING: Unsupported texture format: \"%s\" of file: \"%s\"", extension.c_str(), path.c_str());
        std::fflush(stdout);
    }
}

bool readBMP(const std::string& path, std::vector<unsigned char>& pixels, int& width, int& height,
             GLenum sizeLimit) {
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        printCouldNotOpen(path);
        return false;
    }
    GLint glLimit = 0;
    glGetIntegerv(sizeLimit, &glLimit);
    const int maxDimension = glLimit > 0 ? std::min<int>(glLimit, kMaxImageDimension) : kMaxImageDimension;
    BMPImage image;
    std::string message;
    if (!decodeBMP(bytes, path, image, message, maxDimension)) {
        std::fputs(message.c_str(), stdout);
        return false;
    }
    pixels = std::move(image.pixels);
    width = image.width;
    height = image.height;
    return true;
}

GLuint loadBMP(const std::string& path, GLint minFilter, GLint magFilter) {
    std::vector<unsigned char> pixels;
    int width = 0;
    int height = 0;
    if (!readBMP(path, pixels, width, height)) return 0;

    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, kBMPUnpackAlignment);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glGenerateMipmap(GL_TEXTURE_2D);
    return id;
}

GLuint loadDDS(const std::string& path) {
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        printCouldNotOpen(path);
        return 0;
    }
    DDSImage image;
    std::string message;
    const bool decoded = decodeDDS(bytes, path, image, message);
    if (!message.empty()) std::fputs(message.c_str(), stdout);
    if (!decoded) return 0;

    const GLenum format = glFormatOf(image.format);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    GLint previousAlignment = kBMPUnpackAlignment;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, kDDSUnpackAlignment);
    for (size_t level = 0; level < image.levels.size(); ++level) {
        const DDSLevel& l = image.levels[level];
        glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), format, l.width, l.height, 0,
                               static_cast<GLsizei>(l.size), image.data.data() + l.offset);
    }
    // Later uncompressed uploads (BMP rows padded to 4 bytes) must not inherit the byte alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
    // A chain shorter than down to 1 x 1 would leave the texture incomplete under the default
    // mipmapping filter, and it would sample as black.
    if (!image.levels.empty()) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(image.levels.size()) - 1);
    }
    return id;
}

GLuint loadImageFile(const std::string& path, GLint minFilter, GLint magFilter) {
    int width = 0;
    int height = 0;
    int components = 0;
    unsigned char* pixels = nullptr;
    std::FILE* file = openFile(path, "rb");
    if (!file) {
        std::fprintf(stderr, "Failed to open %s\nThe reason *may* have been %s\n", path.c_str(),
                     std::strerror(errno));
    } else {
        pixels = stbi_load_from_file(file, &width, &height, &components, kRequestedComponents);
        std::fclose(file);
    }
    if (!pixels) {
        std::cerr << "Error: Texture loading failed for texture: " << path << std::endl;
    }

    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    if (pixels) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    } else {
        // Nothing decoded: one opaque black texel keeps the texture complete and well defined.
        const unsigned char placeholder[kRequestedComponents] = {0, 0, 0, 255};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, placeholder);
    }
    glGenerateMipmap(GL_TEXTURE_2D);
    stbi_image_free(pixels);
    return id;
}

}  // namespace VantorEngine
