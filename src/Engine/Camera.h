#pragma once
// The free-flying viewer: mouse look, key movement, the view and projection matrices every
// pipeline uses, and the off-screen framebuffer the frame is drawn into and then presented.
#include "MathUtils.h"

struct GLFWwindow;

namespace VantorEngine {

class FrameBuffer;
class RenderTexture;

class Camera {
public:
    // Where the cursor and key states come from, with the signatures of the GLFW functions
    // the camera uses by default (glfwGetCursorPos, glfwSetCursorPos, glfwGetKey).
    struct Input {
        void (*getCursorPos)(GLFWwindow* window, double* x, double* y);
        void (*setCursorPos)(GLFWwindow* window, double x, double y);
        int (*getKey)(GLFWwindow* window, int key);
    };

    // Needs a current GL context; sizes the targets and the projection from windowSettings.
    Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;
    // Clears the engine's `camera` entry when it names this camera, then deletes the targets.
    virtual ~Camera();
    // Mouse look, key movement and a new view matrix; dt in seconds.
    virtual void update(double dt);
    // Copies windowSettings width × height of the colour image to the window.
    virtual void present();
    // The view from the current position and angles without reading any input. The main loop
    // calls it before the first frame, so frames too slow to update still see the scene
    // from where the camera was placed rather than from the origin.
    void updateViewMatrix();

    vec3 _position = vec3(0.0f, 2.0f, 25.0f);
    vec3 _direction = vec3(1.0f, 0.0f, 0.0f);
    vec3 _right = vec3(0.0f, 0.0f, 1.0f);
    mat4 _viewMatrix = mat4(1.0f);
    mat4 _projectionMatrix = mat4(1.0f);
    RenderTexture* _colorTexture = nullptr;  // owned
    RenderTexture* _depthTexture = nullptr;  // owned
    FrameBuffer* _frameBuffer = nullptr;     // owned
    float _horizontalAngle = 3.14f;  // radians; 3.14 looks along -z
    float _verticalAngle = 0.0f;     // radians, not limited
    float _fieldOfView = 45.0f;      // degrees, vertical
    float _speed = 0.2f;             // units per second
    float _mouseSpeed = 0.005f;      // radians per pixel
    float _near = 0.01f;
    float _far = 50.0f;
    // GLFW on the engine window unless a test substitutes its own input.
    Input _input{};

private:
    // Direction and right vector from the angles; returns the up vector.
    vec3 orient();
};

}  // namespace VantorEngine
