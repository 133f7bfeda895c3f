// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "DeferredRenderingPipeline.h"

namespace VantorEngine {

DeferredRenderingPipeline::DeferredRenderingPipeline() {}
void DeferredRenderingPipeline::render() {}
void DeferredRenderingPipeline::draw(GameObject*) {}
DeferredRenderingPipeline::~DeferredRenderingPipeline() {}

}  // namespace VantorEngine
