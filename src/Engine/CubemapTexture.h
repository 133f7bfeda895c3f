#pragma once
#include <GL/glew.h>

#include <array>
#include <string>

#include "ITexture.h"

namespace VantorEngine {

// A cube map from six 24-bit BMP faces in one folder (+X, -X, +Y, -Y, +Z, -Z).
class CubemapTexture : public ITexture {
public:
    CubemapTexture(const std::string& folder, const std::string& posXFile, const std::string& negXFile,
                   const std::string& posYFile, const std::string& negYFile, const std::string& posZFile,
                   const std::string& negZFile);
    ~CubemapTexture() override;

    void bind(int unit) override;
    void unbind(int unit) override;

    std::array<std::string, 6> _facePaths;
};

}  // namespace VantorEngine
