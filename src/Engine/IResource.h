#pragma once
#include <GL/glew.h>

namespace VantorEngine {

// Base of every GL object wrapper except textures: owns one GL object name.
class IResource {
public:
    IResource() = default;
    IResource(const IResource&) = delete;
    IResource& operator=(const IResource&) = delete;
    virtual ~IResource() = default;
    virtual void bind() = 0;
    virtual void unbind() = 0;

    GLuint _id = 0;
};

}  // namespace VantorEngine
