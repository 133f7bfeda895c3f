#pragma once
// The engine registry: the process-wide current objects and settings, and the lifecycle.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "IGameManager.h"
#include "MathUtils.h"
#include "WindowSettings.h"

struct GLFWwindow;

namespace VantorEngine {

class Camera;
class GameObject;
class VertexBuffer;
class ShadowMappingPipeline;
class DeferredRenderingPipeline;
class PostProcessingRenderingPipeline;
class VolumeRenderingPipeline;
class SkyboxRenderPipeline;
struct BackgroundMusic;

// Current objects (pointers are not owning unless noted).
extern IGameManager* gameManager;  // a local of main
extern GLFWwindow* window;
extern Camera* camera;        // owned by the game manager
extern GameObject* rootObject;
extern ShadowMappingPipeline* shadowMappingPipeline;            // owned
extern DeferredRenderingPipeline* deferredPipeline;             // owned
extern PostProcessingRenderingPipeline* postProcessingPipeline; // owned
extern VolumeRenderingPipeline* volumePipeline;                 // owned
extern SkyboxRenderPipeline* skyboxPipeline;                    // owned
extern VertexBuffer* screenQuad;  // created by init, never deleted
extern std::vector<vec3> screenQuadVertices;
extern WindowSettings windowSettings;
extern std::vector<std::string> arguments;
extern int32_t engineError;
extern bool initialized;
extern bool wireframeMode;
extern int32_t renderLayerMask;  // only the low byte is used
extern double lastFrameTime;
extern double fps;
extern BackgroundMusic* backgroundMusic;  // owned

// Settings switched by the demo's keys and read by the pipelines.
extern bool frameTimeDisplay;
extern int32_t deferredDebugView;
extern int32_t postProcessingDebugView;
extern bool normalMapping;
extern float focalDistanceSetting;
extern float focalRangeSetting;
extern bool printPostProcessingView;
extern float exposureSetting;

int init(int argc, char** argv);
int run();
// One pass of the main loop once the timer has given `dt` (seconds): records fps, makes the
// game manager's, the scene root's and the camera's updates when dt is below 0.5 s, then draws.
void runFrame(double dt);
int deinit();
// deinit, naming each shut-down step to `afterStep` once it is done ("game manager", the five
// pipelines, "resource caches", "GLFW", "music"), so its order can be checked.
int deinit(const std::function<void(const char* step)>& afterStep);
void renderFrame();
WindowSettings parseCommandLine(int argc, char** argv);
void toggleWireframe();

}  // namespace VantorEngine
