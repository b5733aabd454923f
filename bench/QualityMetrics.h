// PSNR and SSIM of an upscaled picture against its original, measured by libavfilter's psnr and
// ssim filters.
#pragma once

#include "RgbaImage.h"

namespace velmo_bench {

struct Scores {
    double psnr_luma = 0; // dB, on the BT.601 luma plane libavfilter converts to
    double psnr_rgb = 0;  // dB, from the mean squared error over R, G and B
    double ssim_luma = 0; // 0..1, luma plane
};

// Both pictures must have the same size; alpha is ignored. Throws std::runtime_error when
// libavfilter cannot build or run the graph, or reports no figure.
Scores score(const velmo_upscale::RgbaImage& original, const velmo_upscale::RgbaImage& test);

} // namespace velmo_bench
