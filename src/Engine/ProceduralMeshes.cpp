#include "ProceduralMeshes.h"

#include <cmath>

#include "ModelData.h"

namespace VantorEngine {

namespace {

constexpr float h = kSkyboxHalfEdge;
constexpr int kTriangles = 12;

const vec3 kCorners[8] = {{-h, -h, h}, {h, -h, h}, {-h, h, h}, {h, h, h},
                          {-h, h, -h}, {h, h, -h}, {-h, -h, -h}, {h, -h, -h}};

// Six faces of about 0.24 x 0.24 laid out in one image.
const vec2 kTexCoords[24] = {
    {0.740353f, 0.358308f}, {0.981933f, 0.358308f}, {0.981933f, 0.599887f}, {0.740353f, 0.599887f},
    {0.257197f, 0.358349f}, {0.257197f, 0.116769f}, {0.498777f, 0.116769f}, {0.498777f, 0.358349f},
    {0.257167f, 0.358162f}, {0.498747f, 0.358162f}, {0.498747f, 0.599741f}, {0.257167f, 0.599741f},
    {0.257185f, 0.599536f}, {0.498764f, 0.599536f}, {0.498764f, 0.841115f}, {0.257185f, 0.841115f},
    {0.498777f, 0.358264f}, {0.740357f, 0.358264f}, {0.740357f, 0.599843f}, {0.498777f, 0.599843f},
    {0.015756f, 0.358193f}, {0.257335f, 0.358193f}, {0.257335f, 0.599772f}, {0.015756f, 0.599772f},
};

// Four entries per face, every one pointing into the cube.
const vec3 kNormals[24] = {
    {0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0},
    {0, 0, 1},  {0, 0, 1},  {0, 0, 1},  {0, 0, 1},  {0, 1, 0},  {0, 1, 0},  {0, 1, 0},  {0, 1, 0},
    {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}, {1, 0, 0},  {1, 0, 0},  {1, 0, 0},  {1, 0, 0},
};

// Per triangle, 1-based indices of the positions, texture coordinates and normals, held as
// floats the way a mesh file's face lists are parsed.
struct FaceTriple {
    vec3 positions;
    vec3 texCoords;
    vec3 normals;
};

const FaceTriple kFaces[kTriangles] = {
    {{1, 3, 2}, {1, 4, 2}, {1, 2, 3}},       {{2, 3, 4}, {2, 4, 3}, {3, 2, 4}},
    {{3, 5, 4}, {5, 8, 6}, {5, 6, 7}},       {{4, 5, 6}, {6, 8, 7}, {7, 6, 8}},
    {{5, 7, 6}, {9, 12, 10}, {9, 10, 11}},   {{6, 7, 8}, {10, 12, 11}, {11, 10, 12}},
    {{7, 1, 8}, {13, 16, 14}, {13, 14, 15}}, {{8, 1, 2}, {14, 16, 15}, {15, 14, 16}},
    {{2, 4, 8}, {17, 20, 18}, {17, 18, 19}}, {{8, 4, 6}, {18, 20, 19}, {19, 18, 20}},
    {{7, 5, 1}, {21, 24, 22}, {21, 22, 23}}, {{1, 5, 3}, {22, 24, 23}, {23, 22, 24}},
};

int toIndex(float oneBased) { return static_cast<int>(std::lround(oneBased)) - 1; }

}  // namespace

void buildSkyboxCubeLists(std::vector<vec3>& vertices, std::vector<vec2>& uvs, std::vector<vec3>& normals) {
    vertices.clear();
    uvs.clear();
    normals.clear();
    for (const FaceTriple& face : kFaces) {
        for (int k = 0; k < 3; ++k) vertices.push_back(kCorners[toIndex(face.positions[k])]);
        for (int k = 0; k < 3; ++k) uvs.push_back(kTexCoords[toIndex(face.texCoords[k])]);
        for (int k = 0; k < 3; ++k) normals.push_back(kNormals[toIndex(face.normals[k])]);
    }
}

std::shared_ptr<ModelData> createSkyboxModel() {
    std::vector<vec3> vertices;
    std::vector<vec2> uvs;
    std::vector<vec3> normals;
    buildSkyboxCubeLists(vertices, uvs, normals);
    return std::make_shared<ModelData>(vertices, uvs, normals, normals, "skybox", vec3(-h, -h, -h), vec3(h, h, h));
}

}  // namespace VantorEngine
