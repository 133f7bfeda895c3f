#pragma once
// PLACEHOLDER written by the lead so the engine links; the pipeline's owner replaces this file.
#include "IRenderPipeline.h"

namespace VantorEngine {

class ShadowMappingPipeline : public IRenderPipeline {
public:
    ShadowMappingPipeline();
    void render() override;
    void draw(GameObject* object) override;
    virtual ~ShadowMappingPipeline();
};

}  // namespace VantorEngine
