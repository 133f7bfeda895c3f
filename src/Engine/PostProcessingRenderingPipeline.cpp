// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "PostProcessingRenderingPipeline.h"

namespace VantorEngine {

PostProcessingRenderingPipeline::PostProcessingRenderingPipeline() {}
void PostProcessingRenderingPipeline::render() {}
void PostProcessingRenderingPipeline::draw(GameObject*) {}
PostProcessingRenderingPipeline::~PostProcessingRenderingPipeline() {}

}  // namespace VantorEngine
