// GRFRenderNodeUSM: a two-input unsharp mask that pushes a sharp image away from a blurred one.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFGPU/GRFRenderNode.h"
#include "grf/GRFString.h"

namespace GRF {
class GPUDrawCall;
class GPUVertexArray;
} // namespace GRF

namespace kx_velmo {

// Reads the blurred image from "input_texture" (what a parent node hands over) and the sharp image from
// "input_texture2", which the user adds; writes sharp + (sharp - blurred) * intensity with the sharp
// image's alpha, unclamped in the shader.
class GRF_EXPORT GRFRenderNodeUSM : public GRF::GRFRenderNode {
public:
    GRFRenderNodeUSM(int width, int height, GRF::GRFRenderNodeTarget target, int texture_id);
    ~GRFRenderNodeUSM() override;

    int start() override;
    // Binds every input as the sampler of its name, in ascending name order, on units 0, 1, 2, ...
    int update() override;
    int destory() override;

    void set_intensity(float intensity);

    static const GRF::GRFString vertex_shader_src;
    static const GRF::GRFString fragment_shader_src;

private:
    GRF::GPUVertexArray* _vertex_array;
    GRF::GPUDrawCall* _draw_call;
    float _intensity;
};

} // namespace kx_velmo
