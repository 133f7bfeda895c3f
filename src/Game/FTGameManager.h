#pragma once
// The demo's game manager: prints the banner, builds the scene (a spinning point light and the
// volume), picks the dataset from the command line, writes the statistics title and maps the
// function and digit keys to the engine-wide settings.
#include <string>
#include <vector>

#include "IGameManager.h"
#include "MathUtils.h"

struct GLFWwindow;

namespace VantorEngine {
class Camera;
class GameObject;
class Light;
class VolumetricObject;
}  // namespace VantorEngine

namespace FallowTide {

class FTGameManager : public VantorEngine::IGameManager {
public:
    // Command-line positions 5 and 6, checked.
    struct DemoArguments {
        int datasetIndex = 0;
        float samplingRate = 500.0f;
    };

    FTGameManager() = default;
    FTGameManager(const FTGameManager&) = delete;
    FTGameManager& operator=(const FTGameManager&) = delete;
    ~FTGameManager() override = default;

    // Banner, key callback, directional light, camera, scene tree and the chosen dataset.
    void init() override;
    // Deletes the camera, then the scene tree that init built.
    void deinit() override;
    // Writes the statistics line into the window title and forgets the title info.
    void update(double dt) override;
    void draw() override;
    void setTitleInfo(std::string text) override;

    // The statistics line: frame rate, frame time in milliseconds, camera position, then `info`.
    static std::string formatTitle(double fps, double dt, const VantorEngine::vec3& position,
                                   const std::string& info);
    // Dataset index and sampling rate from positions 5 and 6 of `arguments` (program name
    // first). A value that is not a number, an index outside the catalogue and a rate that is
    // not positive are reported on the console and replaced by the default.
    static DemoArguments parseDemoArguments(const std::vector<std::string>& arguments);

    VantorEngine::Camera* _camera = nullptr;                      // owned
    VantorEngine::VolumetricObject* _volumetricObject = nullptr;  // not owned: in the scene tree
    VantorEngine::Light* _light = nullptr;                        // not owned: in the scene tree
    std::string _titleInfo;
    // Owned: the root built by init, deleted with its subtree by deinit, so that nothing the
    // demo allocated outlives the engine's shut-down.
    VantorEngine::GameObject* _sceneRoot = nullptr;
};

// GLFW key callback: on a press (not a repeat or a release) toggles or steps the setting of
// the key; every other key is ignored.
void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);

}  // namespace FallowTide
