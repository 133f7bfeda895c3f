#pragma once
// A node of the scene tree: one local transform, an optional mesh with its textures, the render
// flags the pipelines test and three built-in animation channels (spin, movement, shrink).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MathUtils.h"
#include "VertexArray.h"

namespace VantorEngine {

class IRenderPipeline;
class Texture;
struct ModelData;

class GameObject {
public:
    // Needs a current GL context: the node creates (and binds) its own vertex array object.
    GameObject();
    GameObject(const GameObject&) = delete;
    GameObject& operator=(const GameObject&) = delete;

    // Deletes the children; a node still attached to a parent first leaves that parent's list.
    virtual ~GameObject();
    // An empty path means the texture the model names.
    virtual void setTexture(std::string texturePath);
    virtual void setModel(std::shared_ptr<ModelData> model);
    // Animation step of this node, then of every child with the same dt (seconds).
    virtual void update(double dt);
    // Post-order visit of the active subtree: children first, then pipeline->draw(this).
    virtual void traverse(IRenderPipeline* pipeline);
    virtual GameObject* getParent();
    // Takes ownership of `child`; a child that already has a parent is refused.
    virtual void addChild(GameObject* child);
    virtual void translate(vec3 offset);
    // Every transform operation multiplies on the right: later operations act in the node's own axes.
    virtual void translate(float x, float y, float z);
    virtual void rotate(vec3 axis, float angleDegrees);
    virtual void scale(float x, float y, float z);
    virtual void setLocalMatrix(const mat4& matrix);
    virtual mat4& getLocalMatrix();
    virtual mat4 getWorldMatrix();
    virtual vec3 getWorldPosition();
    // Overwrites the translation column only; rotation and scale stay.
    virtual void setPosition(float x, float y, float z);

    std::shared_ptr<ModelData> getModel();
    std::shared_ptr<Texture> getTexture();
    std::shared_ptr<Texture> getNormalTexture();
    // True when any bounding-box corner has one of clip x, y, z in [-w, w).
    bool isVisibleIn(const mat4& modelViewProjection);

    VertexArray _vertexArray;  // owned
    std::shared_ptr<ModelData> _model;
    std::shared_ptr<Texture> _texture;
    std::shared_ptr<Texture> _normalTexture;
    GameObject* _parent = nullptr;         // not owned
    std::vector<GameObject*> _children;    // owned, in insertion order
    bool _rotating = false;
    bool _moving = false;
    bool _shrinking = false;
    float _swingLimit = 0.0f;     // degrees
    float _swingAngle = 0.0f;     // degrees
    bool _swinging = false;
    bool _swingReturning = false;
    bool _active = true;
    bool _shadowMapped = false;
    bool _isLight = false;
    bool _isVolume = false;
    uint8_t _layers = 255;
    float _specularExponent = 5.0f;
    mat4 _localMatrix = mat4(1.0f);
    vec3 _rotationAxis = vec3(0.0f);
    float _rotationSpeed = 0.0f;  // degrees per second
    vec3 _velocity = vec3(0.0f);  // units per second, in the node's own axes
    float _shrinkRate = 0.0f;     // per second
};

}  // namespace VantorEngine
