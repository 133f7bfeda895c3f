#include "Camera.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Engine.h"
#include "FrameBuffer.h"
#include "RenderTexture.h"

namespace VantorEngine {

namespace {
// Movement is ten times faster while left shift is held.
constexpr float kFastFactor = 10.0f;
// The right vector trails the heading by this many radians (a quarter turn, rounded).
constexpr float kQuarterTurn = 1.57f;
}  // namespace

Camera::Camera() : _input{glfwGetCursorPos, glfwSetCursorPos, glfwGetKey} {
    const int width = windowSettings.width;
    const int height = windowSettings.height;
    _colorTexture = new RenderTexture(width, height, RenderTextureType::RGBA8);
    _depthTexture = new RenderTexture(width, height, RenderTextureType::DEPTH24_STENCIL8);
    std::vector<RenderTexture*> colorTextures{_colorTexture};
    std::vector<GLenum> drawBuffers{GL_COLOR_ATTACHMENT0};
    _frameBuffer = new FrameBuffer(&colorTextures, &drawBuffers, _depthTexture, true);
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    _projectionMatrix = perspective(_fieldOfView, aspect, _near, _far);
}

Camera::~Camera() {
    if (camera == this) camera = nullptr;
    delete _colorTexture;
    delete _depthTexture;
    delete _frameBuffer;
}

void Camera::update(double dt) {
    const float seconds = static_cast<float>(dt);
    // Without a window there is no cursor or keyboard: the view still follows the angles.
    const bool hasInput = window != nullptr;

    // Mouse look: the offset from the window centre turns the view, then the cursor goes back.
    if (hasInput) {
        const uint32_t halfWidth = static_cast<uint32_t>(windowSettings.width) / 2;
        const uint32_t halfHeight = static_cast<uint32_t>(windowSettings.height) / 2;
        double cursorX = 0.0, cursorY = 0.0;
        _input.getCursorPos(window, &cursorX, &cursorY);
        _input.setCursorPos(window, halfWidth, halfHeight);
        _horizontalAngle += _mouseSpeed * static_cast<float>(static_cast<double>(halfWidth) - cursorX);
        _verticalAngle += _mouseSpeed * static_cast<float>(static_cast<double>(halfHeight) - cursorY);
    }

    const vec3 up = orient();

    if (hasInput) {
        const auto held = [this](int key) { return _input.getKey(window, key) == GLFW_PRESS ? 1.0f : 0.0f; };
        const float factor = held(GLFW_KEY_LEFT_SHIFT) > 0.0f ? kFastFactor : 1.0f;
        // Summing the key axes first makes opposite keys cancel exactly instead of up to rounding.
        const vec3 movement = _direction * (held(GLFW_KEY_W) - held(GLFW_KEY_S)) +
                              _right * (held(GLFW_KEY_D) - held(GLFW_KEY_A)) +
                              up * (held(GLFW_KEY_SPACE) - held(GLFW_KEY_LEFT_CONTROL));
        _position += movement * (seconds * _speed * factor);
    }

    _viewMatrix = lookAt(_position, _position + _direction, up);
}

vec3 Camera::orient() {
    const float h = _horizontalAngle;
    const float v = _verticalAngle;
    _direction = vec3(std::cos(v) * std::sin(h), std::sin(v), std::cos(v) * std::cos(h));
    _right = vec3(std::sin(h - kQuarterTurn), 0.0f, std::cos(h - kQuarterTurn));
    return glm::cross(_right, _direction);
}

void Camera::updateViewMatrix() {
    const vec3 up = orient();
    _viewMatrix = lookAt(_position, _position + _direction, up);
}

void Camera::present() {
    const GLint width = windowSettings.width;
    const GLint height = windowSettings.height;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    _frameBuffer->bindForReading(GL_COLOR_ATTACHMENT0);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
}

}  // namespace VantorEngine
