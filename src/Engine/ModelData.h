#pragma once
#include <string>
#include <vector>

#include "MathUtils.h"
#include "NormalBuffer.h"
#include "TangentBuffer.h"
#include "UVBuffer.h"
#include "VertexBuffer.h"

namespace VantorEngine {

// A mesh's vertex buffers (three vertices per triangle), name and bounding box; shared
// through std::shared_ptr.
struct ModelData {
    ModelData(const std::vector<vec3>& vertices, const std::vector<vec2>& uvs, const std::vector<vec3>& normals,
              const std::vector<vec3>& tangents, const std::string& name, const vec3& boundingBoxMin,
              const vec3& boundingBoxMax);
    ModelData(const ModelData&) = delete;
    ModelData& operator=(const ModelData&) = delete;

    VertexBuffer _vertexBuffer;
    UVBuffer _uvBuffer;
    NormalBuffer _normalBuffer;
    TangentBuffer _tangentBuffer;
    std::string _name;
    std::string _texturePath;  // left empty; scene objects hand it to the texture cache
    // (m.x,m.y,m.z), (m.x,m.y,M.z), (m.x,M.y,m.z), ... (M.x,M.y,M.z): z varies fastest, then y, then x.
    std::vector<vec3> _boundingBoxCorners;
};

// The eight corners in _boundingBoxCorners order.
std::vector<vec3> boundingBoxCorners(const vec3& minimum, const vec3& maximum);

}  // namespace VantorEngine
