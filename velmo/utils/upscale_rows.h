// Row stages of the CPU upscaling pass and of the stretch: the separable 8-bit linear filter, and
// the per-pixel stage (edge vote, reconstruction, sharpening) in a portable and a SIMD version that
// give the same bytes.
#pragma once

#include <cstdint>

#include "velmo/utils/upscale_plan.h"

namespace kx_velmo {

// Filters one RGBA source row along x: out gets columns -1 .. out of the axis (4 bytes each).
using FilterColumnsFn = void (*)(const std::uint8_t* src_row, const ResampleAxis& columns, std::uint8_t* out);

// Blends `pixels` RGBA pixels of two column-filtered rows with an 8-bit weight of the second.
using FilterRowsFn = void (*)(const std::uint8_t* first, const std::uint8_t* second, int weight, std::uint8_t* out,
                              int pixels);

void SR_FilterColumnsRow_C(const std::uint8_t* src_row, const ResampleAxis& columns, std::uint8_t* out);
void SR_FilterRowsRow_C(const std::uint8_t* first, const std::uint8_t* second, int weight, std::uint8_t* out,
                        int pixels);

// What the per-pixel stage reads for one output row.
struct UpscaleRowArgs {
    // Linearly filtered output rows y - 1, y and y + 1, RGBA; element 0 is column 0, and columns -1
    // and width are there too (at [-4] and [4 * width]).
    const std::uint8_t* above;
    const std::uint8_t* centre;
    const std::uint8_t* below;
    // Green of the source rows py - 2 .. py + 1 (clamped to the image) as floats, index px + 2
    // for texel column px, clamped to the image from -2 to the width + 1.
    const float* green[4];
    const int* grid_x;     // px per output column
    const float* frac_x;   // the pixel's fraction past px
    float frac_y;          // the row's fraction past its grid row
    std::uint8_t* dst;     // output row, RGBA
};

// Draws output columns [x_begin, x_end) of one row.
using UpscaleRowFn = void (*)(const UpscaleRowArgs& row, const UpscaleShape& shape, int x_begin, int x_end);

void SR_UpscaleRow_C(const UpscaleRowArgs& row, const UpscaleShape& shape, int x_begin, int x_end);

// One set of row kernels: the portable ones, or SIMD ones (whole vectors through Highway, the rest
// through the portable kernels) that give the same bytes.
struct RowKernels {
    FilterColumnsFn filter_columns;
    FilterRowsFn filter_rows;
    UpscaleRowFn upscale;
};

// The SIMD kernels, or null where this build has none or the processor lacks them.
const RowKernels* SR_SimdRowKernels();

} // namespace kx_velmo
