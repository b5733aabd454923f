// The sharpening a user would add after libswscale's Lanczos instead of choosing velmo: FFmpeg's
// contrast-adaptive `cas` and its `unsharp` mask, run through libavfilter.
#pragma once

#include <string>

#include "RgbaImage.h"

namespace velmo_bench {

// "cas=strength=0.6": strength 0 to 1.
std::string cas_filter(double strength);
// "unsharp=...": a 5x5 mask of the given amount (FFmpeg's default size; amount 0 to 5).
std::string unsharp_filter(double amount);

// `image` through `filter` (one of the above), each colour channel alone; alpha comes out opaque.
// Throws std::runtime_error when libavfilter refuses the filter.
velmo_upscale::RgbaImage sharpen_channels(const velmo_upscale::RgbaImage& image, const std::string& filter);

} // namespace velmo_bench
