#include "ResourceCache.h"

#include <utility>

#include "GLSLProgram.h"
#include "ModelData.h"
#include "ProceduralMeshes.h"
#include "Texture.h"
#include "VolumeDescription.h"
#include "VolumeTexture.h"

namespace VantorEngine {

std::map<std::string, std::shared_ptr<GLSLProgram>> programCache;
std::map<std::string, std::shared_ptr<Texture>> textureCache;
std::map<std::string, std::shared_ptr<VolumeTexture>> volumeTextureCache;
std::shared_ptr<ModelData> skyboxModel;

std::shared_ptr<GLSLProgram> getOrCreateProgram(std::string vertexShaderPath, std::string fragmentShaderPath,
                                                std::string geometryShaderPath) {
    // No separator: triples with equal concatenations share one entry.
    const std::string key = vertexShaderPath + fragmentShaderPath + geometryShaderPath;
    const auto found = programCache.find(key);
    if (found != programCache.end()) return found->second;
    auto program = std::make_shared<GLSLProgram>(vertexShaderPath, fragmentShaderPath, geometryShaderPath);
    programCache.emplace(key, program);
    return program;
}

std::shared_ptr<Texture> getOrCreateTexture(std::string path) {
    const auto found = textureCache.find(path);
    if (found != textureCache.end()) return found->second;
    auto texture = std::make_shared<Texture>(path);
    textureCache.emplace(path, texture);
    return texture;
}

std::shared_ptr<VolumeTexture> getOrCreateVolumeTexture(VolumeDescription description) {
    const std::string key = description._path;
    const auto found = volumeTextureCache.find(key);
    if (found != volumeTextureCache.end()) return found->second;
    auto texture = std::make_shared<VolumeTexture>(std::move(description));
    volumeTextureCache.emplace(key, texture);
    return texture;
}

std::shared_ptr<ModelData> getOrCreateSkyboxModel() {
    if (!skyboxModel) skyboxModel = createSkyboxModel();
    return skyboxModel;
}

void clearResourceCaches() {
    // Reverse order of construction.
    skyboxModel.reset();
    volumeTextureCache.clear();
    textureCache.clear();
    programCache.clear();
}

}  // namespace VantorEngine
