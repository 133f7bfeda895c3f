#pragma once
#include <string>

namespace VantorEngine {

// The engine's client: builds the scene, updates per frame, receives the title text.
class IGameManager {
public:
    virtual void init() = 0;
    virtual void deinit() = 0;
    virtual void update(double dt) = 0;
    virtual void draw() = 0;
    virtual void setTitleInfo(std::string text) = 0;
    virtual ~IGameManager() = default;
};

}  // namespace VantorEngine
