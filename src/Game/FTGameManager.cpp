#include "FTGameManager.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "Camera.h"
#include "DatasetCatalogue.h"
#include "DirectionalLight.h"
#include "Engine.h"
#include "GameObject.h"
#include "Light.h"
#include "ResourceCache.h"
#include "StringToInt.h"
#include "VolumeDescription.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"

namespace FallowTide {

using namespace VantorEngine;

namespace {

constexpr int defaultDatasetIndex = 0;
constexpr float defaultSamplingRate = 500.0f;

constexpr float pivotSpeed = 20.0f;  // degrees per second about +y
constexpr float markerScale = 0.00001f;
constexpr float focalStep = 0.11764706f;  // the float nearest to 2/17
constexpr float focalRangeReset = 0.1f;

// GLFW key codes of the demo's keys.
constexpr int keyF2 = 291, keyF3 = 292, keyF8 = 297, keyF9 = 298, keyF10 = 299, keyF11 = 300;
constexpr int key1 = 49, key2 = 50, key3 = 51, key4 = 52, key5 = 53, key6 = 54, key7 = 55, key8 = 56;

// Converts `text` like the engine's command line does, printing the same failure lines, and
// names the default that replaces a failed value.
bool convertOrReport(const std::string& text, const char* what, const std::string& fallback,
                     int32_t& value) {
    switch (stringToInt(text, value)) {
        case IntConversion::ok:
            return true;
        case IntConversion::invalidArgument:
            std::cout << "Invalid argument: invalid stoi argument" << std::endl;
            std::cout << what << " \"" << text << "\" is not a number; using " << fallback << std::endl;
            return false;
        case IntConversion::outOfRange:
            std::cerr << "Out of Range error: stoi argument out of range" << std::endl;
            std::cout << what << " \"" << text << "\" is out of range; using " << fallback << std::endl;
            return false;
    }
    return false;
}

}  // namespace

FTGameManager::DemoArguments FTGameManager::parseDemoArguments(const std::vector<std::string>& arguments) {
    DemoArguments result;
    result.datasetIndex = defaultDatasetIndex;
    result.samplingRate = defaultSamplingRate;
    if (arguments.size() >= 6) {
        int32_t index = defaultDatasetIndex;
        if (convertOrReport(arguments[5], "Dataset index", std::to_string(defaultDatasetIndex), index)) {
            if (index < 0 || index >= datasetCount) {
                std::cout << "Dataset index " << index << " is outside 0 to " << datasetCount - 1
                          << "; using " << defaultDatasetIndex << std::endl;
            } else {
                result.datasetIndex = index;
            }
        }
    }
    if (arguments.size() >= 7) {
        int32_t rate = 0;
        if (convertOrReport(arguments[6], "Sampling rate", "500", rate)) {
            // Zero or negative slices per unit give no usable slice spacing.
            if (rate <= 0) {
                std::cout << "Sampling rate " << rate << " is not positive; using 500" << std::endl;
            } else {
                result.samplingRate = static_cast<float>(rate);
            }
        }
    }
    return result;
}

std::string FTGameManager::formatTitle(double fps, double dt, const vec3& position, const std::string& info) {
    std::ostringstream title;
    title << "Nimbrel!" << " | FPS = " << fps << " | Frametime = " << dt * 1000.0 << " | ms" << " | pos("
          << position.x << ", " << position.y << ", " << position.z << ")" << info;
    return title.str();
}

void FTGameManager::init() {
    std::cout << "Starting Nimbrel! demo" << std::endl;
    std::cout << "_____________________________________________________________" << std::endl;
    std::cout << "F2: Toggle frame time display" << std::endl;
    std::cout << "F3: Toggle wireframe mode" << std::endl;

    if (window) glfwSetKeyCallback(window, keyCallback);

    const vec3 sunDirection = vec3(0.0f, -0.9f, 0.1f) / std::sqrt(0.82f);
    setDirectionalLight(DirectionalLight(vec3(0.03f, 0.03f, 0.03f), vec3(0.2f, 0.2f, 0.2f), vec3(0.0f),
                                         sunDirection, orthographic(-50.0f, 50.0f, 0.0f, 100.0f, -50.0f, 50.0f)));

    _camera = new Camera();
    _camera->_position = vec3(0.0f, 0.0f, 3.0f);
    camera = _camera;

    GameObject* sceneRoot = new GameObject();
    _sceneRoot = sceneRoot;
    if (!rootObject) rootObject = sceneRoot;

    GameObject* pivot = new GameObject();
    pivot->_rotationAxis = vec3(0.0f, 1.0f, 0.0f);
    pivot->_rotationSpeed = pivotSpeed;
    pivot->_rotating = true;
    sceneRoot->addChild(pivot);

    _light = new Light(vec3(2.0f, 2.0f, 0.0f), 1.0f, 1.0f, 1.0f, vec3(1.0f), vec3(0.1f), vec3(1.0f), 1.0f, 100.0f);
    pivot->addChild(_light);

    GameObject* marker = new GameObject();
    marker->setModel(getOrCreateSkyboxModel());
    marker->scale(markerScale, markerScale, markerScale);
    marker->_shadowMapped = true;
    _light->addChild(marker);

    _volumetricObject = new VolumetricObject();

    const DemoArguments choice = parseDemoArguments(arguments);

    std::shared_ptr<VolumeTexture> texture = getOrCreateVolumeTexture(datasetDescription(choice.datasetIndex));
    _volumetricObject->setVolumeTexture(texture);

    // The file's z axis (its slice axis) ends up along the world's y axis.
    const vec3 s = texture->_volDescription._scale;
    _volumetricObject->scale(s.x, s.z, s.y);
    _volumetricObject->rotate(vec3(0.0f, 1.0f, 0.0f), 180.0f);
    _volumetricObject->rotate(vec3(1.0f, 0.0f, 0.0f), 90.0f);

    _volumetricObject->_referenceSamplingRate = choice.samplingRate;
    _volumetricObject->_samplingRate = choice.samplingRate;
    _volumetricObject->_lightColor = vec3(1.0f, 1.0f, 1.0f);
    _volumetricObject->_lightDirection = vec3(1.0f, -1.0f, 1.0f) / std::sqrt(3.0f);
    _volumetricObject->_light = _light;

    sceneRoot->addChild(_volumetricObject);
}

void FTGameManager::deinit() {
    delete _camera;
    _camera = nullptr;
    // The engine has already cleared rootObject; a node deletes its children with it.
    delete _sceneRoot;
    _sceneRoot = nullptr;
    _volumetricObject = nullptr;
    _light = nullptr;
}

void FTGameManager::update(double dt) {
    const vec3 position = _camera ? _camera->_position : vec3(0.0f);
    const std::string title = formatTitle(fps, dt, position, _titleInfo);
    if (window) glfwSetWindowTitle(window, title.c_str());
    _titleInfo.clear();
}

void FTGameManager::draw() {}

void FTGameManager::setTitleInfo(std::string text) { _titleInfo = std::move(text); }

void keyCallback(GLFWwindow* /*window*/, int key, int /*scancode*/, int action, int /*mods*/) {
    if (action != GLFW_PRESS) return;
    switch (key) {
        case keyF2: frameTimeDisplay = !frameTimeDisplay; break;
        case keyF3: toggleWireframe(); break;
        case keyF8: deferredDebugView = (deferredDebugView + 1) % 5; break;
        case keyF9: postProcessingDebugView = (postProcessingDebugView + 1) % 4; break;
        case keyF10: postProcessingDebugView = (postProcessingDebugView + 3) % 4; break;
        case keyF11: normalMapping = !normalMapping; break;
        case key1: focalDistanceSetting += focalStep; break;
        case key2: focalRangeSetting += focalStep; break;
        case key3:
            focalDistanceSetting = 0.0f;
            focalRangeSetting = focalRangeReset;
            break;
        case key4: printPostProcessingView = true; break;
        case key5: exposureSetting += 1.0f; break;
        case key6: exposureSetting -= 1.0f; break;
        case key7: renderLayerMask = 2; break;
        case key8: renderLayerMask = 1; break;
        default: break;
    }
}

}  // namespace FallowTide
