// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "ShadowMappingPipeline.h"

namespace VantorEngine {

ShadowMappingPipeline::ShadowMappingPipeline() {}
void ShadowMappingPipeline::render() {}
void ShadowMappingPipeline::draw(GameObject*) {}
ShadowMappingPipeline::~ShadowMappingPipeline() {}

}  // namespace VantorEngine
