// The skin-tone bilateral smoothing that the upscaling pass may run on its source first, on the CPU.
#pragma once

#include <cstdint>

namespace kx_velmo {

// A read-only RGBA image: rows of `stride` bytes, top to bottom.
struct RgbaView {
    const std::uint8_t* pixels;
    int stride;
    int width;
    int height;

    const std::uint8_t* row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * stride; }
};

// Writes rows [first_row, first_row + rows) of the smoothed image into out (width x 4 bytes per
// row, packed). Pixels outside the skin box are copied; a skin-tone pixel becomes half itself and
// half the bilateral mean of nine taps two pixels apart (clamped to the image), weighted by
// exp(-distance / (2 sigma_s^2)) x exp(-colour difference^2 / (2 sigma_r^2)).
void SR_SmoothSkinRows_C(const RgbaView& src, int first_row, int rows, float sigma_s, float sigma_r,
                         std::uint8_t* out);

} // namespace kx_velmo
