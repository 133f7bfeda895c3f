#pragma once
#include <map>
#include <memory>
#include <string>

namespace VantorEngine {

class GLSLProgram;
class Texture;
class VolumeTexture;
struct VolumeDescription;
struct ModelData;

// Process-wide caches: each key is built, read or uploaded once and shared from then on, also
// when loading failed (a failed file is not retried).
extern std::map<std::string, std::shared_ptr<GLSLProgram>> programCache;   // vertex+fragment+geometry path
extern std::map<std::string, std::shared_ptr<Texture>> textureCache;       // file path, unchanged
extern std::map<std::string, std::shared_ptr<VolumeTexture>> volumeTextureCache;  // VolumeDescription::_path
extern std::shared_ptr<ModelData> skyboxModel;  // empty until getOrCreateSkyboxModel

// Each needs the OpenGL context current: a miss constructs the GL object at once.
std::shared_ptr<GLSLProgram> getOrCreateProgram(std::string vertexShaderPath, std::string fragmentShaderPath,
                                                std::string geometryShaderPath);
std::shared_ptr<Texture> getOrCreateTexture(std::string path);
std::shared_ptr<VolumeTexture> getOrCreateVolumeTexture(VolumeDescription description);
std::shared_ptr<ModelData> getOrCreateSkyboxModel();

// Empties the three caches and skyboxModel so their GL objects are deleted while the context
// still exists (call before the window is destroyed); objects still held elsewhere survive.
void clearResourceCaches();

}  // namespace VantorEngine
