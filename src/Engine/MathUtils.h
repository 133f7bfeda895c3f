#pragma once
// Vector and matrix types of the engine and the few constructions whose arithmetic
// the engine fixes itself (degree conversion, axis normalisation, hand-built projections).
#include <glm/glm.hpp>

namespace VantorEngine {

using vec2 = glm::vec2;
using vec3 = glm::vec3;
using vec4 = glm::vec4;
using mat4 = glm::mat4;  // column-major: m[column][row], translation in m[3]

// Degrees to radians, in single precision, with the engine's own constant.
constexpr float degreesToRadians = 0.017453292f;

// T(x, y, z).
mat4 translationMatrix(float x, float y, float z);
// S(x, y, z).
mat4 scaleMatrix(float x, float y, float z);
// Right-handed rotation about `axis` (normalised here with 1 / sqrt(x² + y² + z²)) by degrees.
mat4 rotationMatrix(float angleDegrees, const vec3& axis);
// Right-handed look-at: rows of the 3x3 part are s, u, -f; translation (-s.eye, -u.eye, f.eye).
mat4 lookAt(const vec3& eye, const vec3& centre, const vec3& up);
// Right-handed orthographic box mapping depth to -1..1.
mat4 orthographic(float left, float right, float bottom, float top, float near, float far);
// Right-handed perspective from a vertical field of view in degrees, built from the frustum
// half extents top = tan(fov/2)·near and right = top·aspect.
mat4 perspective(float fieldOfViewDegrees, float aspect, float near, float far);

}  // namespace VantorEngine
