#include "MathUtils.h"

#include <cmath>

namespace VantorEngine {

mat4 translationMatrix(float x, float y, float z) {
    mat4 m(1.0f);
    m[3] = vec4(x, y, z, 1.0f);
    return m;
}

mat4 scaleMatrix(float x, float y, float z) {
    mat4 m(1.0f);
    m[0][0] = x;
    m[1][1] = y;
    m[2][2] = z;
    return m;
}

mat4 rotationMatrix(float angleDegrees, const vec3& axis) {
    const float radians = angleDegrees * degreesToRadians;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    const float t = 1.0f - c;
    const float inv = 1.0f / std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    const float x = axis.x * inv, y = axis.y * inv, z = axis.z * inv;
    mat4 r(1.0f);
    r[0] = vec4(t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0.0f);
    r[1] = vec4(t * x * y - s * z, t * y * y + c, t * y * z + s * x, 0.0f);
    r[2] = vec4(t * x * z + s * y, t * y * z - s * x, t * z * z + c, 0.0f);
    return r;
}

mat4 lookAt(const vec3& eye, const vec3& centre, const vec3& up) {
    const vec3 f = glm::normalize(centre - eye);
    const vec3 s = glm::normalize(glm::cross(f, up));
    const vec3 u = glm::cross(s, f);
    mat4 m(1.0f);
    m[0][0] = s.x; m[1][0] = s.y; m[2][0] = s.z;
    m[0][1] = u.x; m[1][1] = u.y; m[2][1] = u.z;
    m[0][2] = -f.x; m[1][2] = -f.y; m[2][2] = -f.z;
    m[3][0] = -glm::dot(s, eye);
    m[3][1] = -glm::dot(u, eye);
    m[3][2] = glm::dot(f, eye);
    return m;
}

mat4 orthographic(float left, float right, float bottom, float top, float near, float far) {
    mat4 m(1.0f);
    m[0][0] = 2.0f / (right - left);
    m[1][1] = 2.0f / (top - bottom);
    m[2][2] = -2.0f / (far - near);
    m[3][0] = -(right + left) / (right - left);
    m[3][1] = -(top + bottom) / (top - bottom);
    m[3][2] = -(far + near) / (far - near);
    return m;
}

mat4 perspective(float fieldOfViewDegrees, float aspect, float near, float far) {
    const float tanHalf = std::tan(fieldOfViewDegrees * degreesToRadians * 0.5f);
    const float top = tanHalf * near;
    const float right = top * aspect;
    mat4 m(0.0f);
    m[0][0] = 2.0f * near / (right - (-right));
    m[1][1] = 2.0f * near / (top - (-top));
    m[2][2] = -(far + near) / (far - near);
    m[2][3] = -1.0f;
    m[3][2] = -(2.0f * far * near) / (far - near);
    return m;
}

}  // namespace VantorEngine
