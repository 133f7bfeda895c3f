// The sky cube's expanded triangle lists and the bounding-box corner order, without GL.
#include <gtest/gtest.h>

#include <glm/glm.hpp>

#include "ModelData.h"
#include "ProceduralMeshes.h"

using namespace VantorEngine;

namespace {

TEST(SkyboxCube, ThirtySixVerticesOnTheCubeSurface) {
    std::vector<vec3> vertices;
    std::vector<vec2> uvs;
    std::vector<vec3> normals;
    buildSkyboxCubeLists(vertices, uvs, normals);
    ASSERT_EQ(vertices.size(), 36u);
    ASSERT_EQ(uvs.size(), 36u);
    ASSERT_EQ(normals.size(), 36u);
    for (const vec3& v : vertices) {
        EXPECT_EQ(std::abs(v.x), 150.0f);
        EXPECT_EQ(std::abs(v.y), 150.0f);
        EXPECT_EQ(std::abs(v.z), 150.0f);
    }
    // Triangle 1: corners 1, 3, 2; texture coordinates 1, 4, 2; normals (0, 0, -1).
    EXPECT_EQ(vertices[0], vec3(-150, -150, 150));
    EXPECT_EQ(vertices[1], vec3(-150, 150, 150));
    EXPECT_EQ(vertices[2], vec3(150, -150, 150));
    EXPECT_EQ(uvs[1], vec2(0.740353f, 0.599887f));
    // Triangle 12: corners 1, 5, 3; texture coordinates 22, 24, 23.
    EXPECT_EQ(vertices[35], vec3(-150, 150, 150));
    EXPECT_EQ(uvs[35], vec2(0.257335f, 0.599772f));
}

TEST(SkyboxCube, EveryTriangleFacesInwardsAndLiesInOneFace) {
    std::vector<vec3> vertices;
    std::vector<vec2> uvs;
    std::vector<vec3> normals;
    buildSkyboxCubeLists(vertices, uvs, normals);
    for (size_t t = 0; t < 12; ++t) {
        const vec3 a = vertices[3 * t], b = vertices[3 * t + 1], c = vertices[3 * t + 2];
        // Counter-clockwise seen from inside: the winding normal points to the centre.
        const vec3 winding = glm::normalize(glm::cross(b - a, c - a));
        const vec3 toCentre = -glm::normalize(a + b + c);
        const vec3 inward = glm::round(toCentre);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(normals[3 * t + k], inward) << "triangle " << t + 1;
            EXPECT_EQ(glm::dot(vertices[3 * t + k], inward), -150.0f) << "triangle " << t + 1;
        }
        EXPECT_NEAR(glm::dot(winding, inward), 1.0f, 1e-6f) << "triangle " << t + 1;
    }
}

TEST(BoundingBoxCorners, ZFastestThenYThenX) {
    const std::vector<vec3> corners = boundingBoxCorners(vec3(-1, -2, -3), vec3(4, 5, 6));
    const std::vector<vec3> expected = {{-1, -2, -3}, {-1, -2, 6}, {-1, 5, -3}, {-1, 5, 6},
                                        {4, -2, -3},  {4, -2, 6},  {4, 5, -3},  {4, 5, 6}};
    EXPECT_EQ(corners, expected);
}

}  // namespace
