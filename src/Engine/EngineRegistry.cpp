#include "Engine.h"

// The registry's storage: every current object and engine-wide setting.
namespace VantorEngine {

IGameManager* gameManager = nullptr;
GLFWwindow* window = nullptr;
Camera* camera = nullptr;
GameObject* rootObject = nullptr;
ShadowMappingPipeline* shadowMappingPipeline = nullptr;
DeferredRenderingPipeline* deferredPipeline = nullptr;
PostProcessingRenderingPipeline* postProcessingPipeline = nullptr;
VolumeRenderingPipeline* volumePipeline = nullptr;
SkyboxRenderPipeline* skyboxPipeline = nullptr;
VertexBuffer* screenQuad = nullptr;
WindowSettings windowSettings;
std::vector<std::string> arguments;
std::vector<vec3> screenQuadVertices;
int32_t engineError = 0;
bool initialized = false;
bool wireframeMode = false;
int32_t renderLayerMask = 1;
double lastFrameTime = 0.0;
double fps = 0.0;

bool frameTimeDisplay = false;
int32_t deferredDebugView = 0;
int32_t postProcessingDebugView = 0;
bool normalMapping = false;
float focalDistanceSetting = 0.6f;
float focalRangeSetting = 0.1f;
bool printPostProcessingView = false;
float exposureSetting = 0.0f;

}  // namespace VantorEngine
