// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "VolumeRenderingPipeline.h"

namespace VantorEngine {

VolumeRenderingPipeline::VolumeRenderingPipeline() {}
void VolumeRenderingPipeline::render() {}
void VolumeRenderingPipeline::draw(GameObject*) {}
VolumeRenderingPipeline::~VolumeRenderingPipeline() {}

}  // namespace VantorEngine
