// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "SkyboxRenderPipeline.h"

namespace VantorEngine {

SkyboxRenderPipeline::SkyboxRenderPipeline() {}
void SkyboxRenderPipeline::render() {}
void SkyboxRenderPipeline::draw(GameObject*) {}
SkyboxRenderPipeline::~SkyboxRenderPipeline() {}

}  // namespace VantorEngine
