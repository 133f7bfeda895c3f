#include "ModelData.h"

namespace VantorEngine {

std::vector<vec3> boundingBoxCorners(const vec3& m, const vec3& M) {
    return {vec3(m.x, m.y, m.z), vec3(m.x, m.y, M.z), vec3(m.x, M.y, m.z), vec3(m.x, M.y, M.z),
            vec3(M.x, m.y, m.z), vec3(M.x, m.y, M.z), vec3(M.x, M.y, m.z), vec3(M.x, M.y, M.z)};
}

ModelData::ModelData(const std::vector<vec3>& vertices, const std::vector<vec2>& uvs,
                     const std::vector<vec3>& normals, const std::vector<vec3>& tangents, const std::string& name,
                     const vec3& boundingBoxMin, const vec3& boundingBoxMax)
    : _vertexBuffer(vertices),
      _uvBuffer(uvs),
      _normalBuffer(normals),
      _tangentBuffer(tangents),
      _name(name),
      _boundingBoxCorners(boundingBoxCorners(boundingBoxMin, boundingBoxMax)) {}

}  // namespace VantorEngine
