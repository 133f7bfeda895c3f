#pragma once

namespace VantorEngine {

class Camera;
class GameObject;

// A render pipeline: `render` draws its part of the frame and visits the scene through
// rootObject->traverse(this), which hands every visited node to `draw`.
// No virtual destructor here: pipelines that need one declare it after `draw`.
class IRenderPipeline {
public:
    virtual void setCamera(Camera* camera) { _camera = camera; }
    virtual void render() = 0;
    virtual void draw(GameObject* object) = 0;

    Camera* _camera = nullptr;  // not owned

protected:
    // Deleting through this interface is not allowed; the engine deletes pipelines by type.
    ~IRenderPipeline() = default;
};

}  // namespace VantorEngine
