#pragma once
#include <GL/glew.h>

#include <map>
#include <string>

#include "IResource.h"

namespace VantorEngine {

// One linked shader program built from a vertex, a fragment and an optional geometry shader
// file, with a per-program cache of uniform locations.
class GLSLProgram : public IResource {
public:
    // An empty path means the stage is absent. Compiles and links at once (context must be current).
    GLSLProgram(const std::string& vertexShaderPath, const std::string& fragmentShaderPath,
                const std::string& geometryShaderPath);
    ~GLSLProgram() override;

    void bind() override;    // glUseProgram(_id)
    void unbind() override;  // glUseProgram(0)

    // Makes the program current, then returns the cached location of `name`, asking GL only the
    // first time; a missing uniform is reported once and cached as -1.
    GLint getUniformLocation(const std::string& name);

    std::map<std::string, GLint> _uniformLocations;
};

// Reads, compiles, attaches and links the stages; 0 after a compile failure. A link failure
// reports the log on standard error and ends the process with status 1.
GLuint compileProgram(const std::string& vertexShaderPath, const std::string& fragmentShaderPath,
                      const std::string& geometryShaderPath);

// The file's lines, each preceded by a newline; empty (with a message) when it cannot be opened.
std::string readShaderFile(const std::string& path);

// 1 when `shader` compiled; otherwise prints its info log, deletes it and returns 0.
int checkShaderCompiled(GLuint shader, GLint& status);

}  // namespace VantorEngine
