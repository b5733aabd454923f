// GRFRenderNodeGaussianBlur: a three-tap 1/4, 1/2, 1/4 blur along one direction given by two offsets.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFGPU/GRFRenderNode.h"
#include "grf/GRFString.h"

namespace GRF {
class GPUDrawCall;
class GPUVertexArray;
} // namespace GRF

namespace kx_velmo {

// Reads "input_texture" (the greatest-named input) and keeps its alpha. The outer taps lie at
// -+(height offset, width offset) in texture coordinates: the x step comes from the height offset and
// the y step from the width offset. With both offsets 0 (the initial state) it copies its input.
class GRF_EXPORT GRFRenderNodeGaussianBlur : public GRF::GRFRenderNode {
public:
    GRFRenderNodeGaussianBlur(int width, int height, GRF::GRFRenderNodeTarget target, int texture_id);
    ~GRFRenderNodeGaussianBlur() override;

    int start() override;
    // Without an input texture it sets nothing (the canvas still draws).
    int update() override;
    int destory() override;

    // Takes effect through the next set_texel_size; the offsets are not recomputed here.
    void set_blur_size(float blur_size);
    // Width offset = blur size / a and height offset = blur size / b; a component whose divisor is not
    // positive (or not a number) gets offset 0.
    void set_texel_size(float a, float b);

    static const GRF::GRFString vetex_shader_src;
    static const GRF::GRFString fragment_shader_src;

private:
    GRF::GPUVertexArray* _vertex_array;
    GRF::GPUDrawCall* _draw_call;
    float _blur_size;
    float _texel_width_offset;
    float _texel_height_offset;
};

} // namespace kx_velmo
