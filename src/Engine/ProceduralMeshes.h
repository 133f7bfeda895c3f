#pragma once
#include <memory>
#include <vector>

#include "MathUtils.h"

namespace VantorEngine {

struct ModelData;

// Half the edge of the sky cube, centred on the origin.
constexpr float kSkyboxHalfEdge = 150.0f;

// The sky cube's triangle lists (36 positions, texture coordinates and normals), expanded from
// its indexed face lists; normals point inwards and triangles wind counter-clockwise from inside.
void buildSkyboxCubeLists(std::vector<vec3>& vertices, std::vector<vec2>& uvs, std::vector<vec3>& normals);

// A new "skybox" ModelData from those lists (normals doubling as tangents).
std::shared_ptr<ModelData> createSkyboxModel();

}  // namespace VantorEngine
