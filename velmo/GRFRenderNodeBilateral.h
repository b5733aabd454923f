// GRFRenderNodeBilateral: edge-preserving smoothing of skin-tone pixels, blended half and half with
// the unfiltered pixel; every other pixel is copied.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFGPU/GRFRenderNode.h"
#include "grf/GRFString.h"

namespace GRF {
class GPUDrawCall;
class GPUVertexArray;
} // namespace GRF

namespace kx_velmo {

// Draws into a texture of its own (width x height) from "input_texture". Nine taps two pixels apart
// (a 5 x 5 footprint) weighted by exp(-distance / (2 sigmaS^2)) * exp(-|colour difference|^2 /
// (2 sigmaR^2)). Output alpha is 1.0.
class GRF_EXPORT GRFRenderNodeBilateral : public GRF::GRFRenderNode {
public:
    GRFRenderNodeBilateral(int width, int height);
    ~GRFRenderNodeBilateral() override;

    int start() override;
    // Without an input texture it sets nothing (the canvas still draws). While a sigma or the image
    // size is not positive it sets values that make the program copy its input: the smoothing would
    // otherwise divide by zero and write undefined colours.
    int update() override;
    int destory() override;

    // The image size in pixels (not its reciprocal); stored as given.
    void set_texel_size(float width, float height);
    // The spatial and the range sigma, in that order; stored as given.
    void set_params(float sigma_s, float sigma_r);

    static const GRF::GRFString bilateral_vertex_shader_src;
    static const GRF::GRFString bilateral_fragment_shader_src;

private:
    bool parameters_usable() const;

    GRF::GPUVertexArray* _vertex_array;
    GRF::GPUDrawCall* _draw_call;
    float _texel_width;
    float _texel_height;
    float _sigma_s;
    float _sigma_r;
};

} // namespace kx_velmo
