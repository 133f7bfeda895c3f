#pragma once
// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "IRenderPipeline.h"

namespace VantorEngine {

class PostProcessingRenderingPipeline : public IRenderPipeline {
public:
    PostProcessingRenderingPipeline();
    void render() override;
    void draw(GameObject* object) override;
    virtual ~PostProcessingRenderingPipeline();
};

}  // namespace VantorEngine
