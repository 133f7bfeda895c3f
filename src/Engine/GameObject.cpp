#include "GameObject.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "IRenderPipeline.h"
#include "ModelData.h"
#include "ResourceCache.h"
#include "Texture.h"

namespace VantorEngine {

namespace {

// Half-open clip range [-w, w); a NaN compares false and so counts as outside.
bool inClipRange(float value, float w) { return value >= -w && value < w; }

}  // namespace

GameObject::GameObject() = default;

GameObject::~GameObject() {
    // Leaving the parent's list keeps the parent from touching a deleted child later.
    if (_parent) {
        auto& siblings = _parent->_children;
        auto found = std::find(siblings.begin(), siblings.end(), this);
        if (found != siblings.end()) siblings.erase(found);
        _parent = nullptr;
    }
    _model.reset();
    _texture.reset();
    _normalTexture.reset();
    std::vector<GameObject*> children;
    children.swap(_children);
    for (GameObject* child : children) {
        child->_parent = nullptr;  // already out of this list
        delete child;
    }
    // _vertexArray is deleted last, as the member's own destructor runs.
}

void GameObject::setTexture(std::string texturePath) {
    if (texturePath.empty()) {
        // Without a model there is no texture to fall back on; the current one stays.
        if (!_model) return;
        texturePath = _model->_texturePath;
    }
    _texture = getOrCreateTexture(texturePath);
}

void GameObject::setModel(std::shared_ptr<ModelData> model) {
    _model = std::move(model);
    // An empty model leaves the texture as it was.
    if (_model) _texture = getOrCreateTexture(_model->_texturePath);
}

void GameObject::update(double dt) {
    const float seconds = static_cast<float>(dt);
    if (_rotating) {
        const float step = seconds * _rotationSpeed;
        if (!_swinging) {
            rotate(_rotationAxis, step);
        } else {
            if (_swingReturning) {
                rotate(_rotationAxis, step);
                _swingAngle -= step;
            } else {
                rotate(_rotationAxis, -1.0f * _rotationSpeed * seconds);
                _swingAngle += step;
            }
            if (_swingAngle <= 0.0f) _swingReturning = false;
            if (_swingAngle >= _swingLimit) _swingReturning = true;
        }
    }
    if (_moving) translate(_velocity * seconds);
    if (_shrinking) {
        const float exponent = (-seconds) * _shrinkRate;
        const float s = static_cast<float>(std::exp(static_cast<double>(exponent)));
        scale(s, s, s);
    }
    // Inactive children animate too; _active only matters to traversal and drawing.
    for (GameObject* child : _children) child->update(dt);
}

void GameObject::traverse(IRenderPipeline* pipeline) {
    if (!_active) return;
    for (GameObject* child : _children) child->traverse(pipeline);
    pipeline->draw(this);
}

GameObject* GameObject::getParent() { return _parent; }

void GameObject::addChild(GameObject* child) {
    if (!child) return;
    if (child->getParent() != nullptr) {
        std::cout << "child can only have one parent!";
        return;
    }
    // Attaching this node or one of its ancestors would close a cycle in the tree.
    for (GameObject* node = this; node; node = node->getParent()) {
        if (node == child) return;
    }
    child->_parent = this;
    _children.push_back(child);
}

void GameObject::translate(vec3 offset) { translate(offset.x, offset.y, offset.z); }

void GameObject::translate(float x, float y, float z) {
    _localMatrix = _localMatrix * translationMatrix(x, y, z);
}

void GameObject::rotate(vec3 axis, float angleDegrees) {
    _localMatrix = _localMatrix * rotationMatrix(angleDegrees, axis);
}

void GameObject::scale(float x, float y, float z) { _localMatrix = _localMatrix * scaleMatrix(x, y, z); }

void GameObject::setLocalMatrix(const mat4& matrix) { _localMatrix = matrix; }

mat4& GameObject::getLocalMatrix() { return _localMatrix; }

mat4 GameObject::getWorldMatrix() {
    if (_parent) return _parent->getWorldMatrix() * _localMatrix;
    return _localMatrix;
}

vec3 GameObject::getWorldPosition() {
    const mat4 world = getWorldMatrix();
    return vec3(world[3].x, world[3].y, world[3].z);
}

void GameObject::setPosition(float x, float y, float z) {
    _localMatrix[3].x = x;
    _localMatrix[3].y = y;
    _localMatrix[3].z = z;
}

std::shared_ptr<ModelData> GameObject::getModel() { return _model; }

std::shared_ptr<Texture> GameObject::getTexture() { return _texture; }

std::shared_ptr<Texture> GameObject::getNormalTexture() { return _normalTexture; }

bool GameObject::isVisibleIn(const mat4& modelViewProjection) {
    if (!_model) return false;
    for (const vec3& corner : _model->_boundingBoxCorners) {
        const vec4 clip = modelViewProjection * vec4(corner, 1.0f);
        if (inClipRange(clip.x, clip.w) || inClipRange(clip.y, clip.w) || inClipRange(clip.z, clip.w)) {
            return true;
        }
    }
    return false;
}

}  // namespace VantorEngine
