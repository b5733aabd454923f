// Where each output pixel of the CPU upscaling pass samples the source, and the settings that shape
// its picture, worked out once per call.
#pragma once

#include <cstdint>
#include <vector>

#include "velmo/velmo_api.h"

namespace kx_velmo {

// The two source elements a linear filter blends for one output position, already clamped to the
// edge, and the 8-bit weight of the second: the position is taken to 1/256 of an element, as GPU
// samplers filter 8-bit textures.
struct LinearTap {
    int first;
    int second;
    int weight;
};

// One axis of the resampling, from `in` source elements to `out` output pixels.
struct ResampleAxis {
    int in = 0;
    int out = 0;
    // Filter taps of output positions -1 .. out (index position + 1), one array per member of
    // LinearTap: the outer two are the neighbours that the sharpening's blur reads past the border.
    std::vector<int> tap_first;
    std::vector<int> tap_second;
    std::vector<int> tap_weight;
    // For output positions 0 .. out - 1: the texel of the reconstruction grid at or below the pixel
    // (may be -1) and the pixel's fraction past it, in [0, 1).
    std::vector<int> grid;
    std::vector<float> fraction;

    // grid_offset is -1 for columns and +1 for rows: the upscaling pass places rows half a texel
    // further than columns, so that the pixel lies in the inner quad of its twelve taps.
    ResampleAxis(int in_size, int out_size, int grid_offset);

    LinearTap tap(int position) const
    {
        const auto i = static_cast<std::size_t>(position + 1);
        return {tap_first[i], tap_second[i], tap_weight[i]};
    }
};

// The settings of velmo_init_params that shape the picture, read as velmo_init reads them.
struct UpscaleShape {
    float sharpness = 1.5f;
    bool edge_adaptive = false;
    bool face_protection = false;
    bool smoothing = false;
    float strong_edge_weight = 0.2f; // sharpening weight on strong edges (0.5 after smoothing)
    float sigma_s = 0.8f;
    float sigma_r = 1.0f;

    explicit UpscaleShape(const velmo_init_params& params);
};

} // namespace kx_velmo
