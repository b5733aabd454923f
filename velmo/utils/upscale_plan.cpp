// Sampling positions and picture settings of the CPU upscaling pass.
#include "velmo/utils/upscale_plan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kx_velmo {

namespace {

// Floor of num / den for den > 0.
std::int64_t floor_div(std::int64_t num, std::int64_t den)
{
    const std::int64_t q = num / den;
    return (num % den != 0 && num < 0) ? q - 1 : q;
}

// Only bit 0 of a flag byte counts, as velmo_init reads it.
bool flag_bit(const bool& flag)
{
    unsigned char byte;
    std::memcpy(&byte, &flag, 1);
    return (byte & 1) != 0;
}

float clamp_sigma(float sigma, float default_sigma)
{
    if (std::isnan(sigma))
        return default_sigma;
    return std::min(std::max(sigma, 0.25f), 3.0f);
}

} // namespace

ResampleAxis::ResampleAxis(int in_size, int out_size, int grid_offset) : in(in_size), out(out_size)
{
    // Output pixel k sits at (k + 0.5) / out in texture coordinates, i.e. at (2k + 1) * in / (2 out)
    // source elements; everything below is exact integer arithmetic on that fraction.
    const std::int64_t den = 2 * static_cast<std::int64_t>(out);
    for (int k = -1; k <= out; ++k) {
        // The position in 1/256 of an element, rounded, less half an element.
        const std::int64_t numerator = (2 * static_cast<std::int64_t>(k) + 1) * in * 256;
        const std::int64_t fixed = floor_div(numerator + out, den) - 128;
        const std::int64_t first = floor_div(fixed, 256);
        const int weight = static_cast<int>(fixed - first * 256);
        const auto clamped = [&](std::int64_t i) { return static_cast<int>(std::clamp<std::int64_t>(i, 0, in - 1)); };
        tap_first.push_back(clamped(first));
        tap_second.push_back(clamped(first + 1));
        tap_weight.push_back(weight);
    }
    grid.reserve(static_cast<std::size_t>(out));
    fraction.reserve(static_cast<std::size_t>(out));
    for (int k = 0; k < out; ++k) {
        const std::int64_t numerator = (2 * static_cast<std::int64_t>(k) + 1) * in + grid_offset * static_cast<std::int64_t>(out);
        const std::int64_t cell = floor_div(numerator, den);
        grid.push_back(static_cast<int>(cell));
        fraction.push_back(static_cast<float>(static_cast<double>(numerator - cell * den) / static_cast<double>(den)));
    }
}

UpscaleShape::UpscaleShape(const velmo_init_params& params)
{
    switch (params.sr_level) {
    case 1: sharpness = 2.0f; break;
    case 2: sharpness = 1.5f; break;
    case 3: sharpness = 1.0f; break;
    case 0:
        if (std::isfinite(params.custom_sharpness))
            sharpness = params.custom_sharpness;
        break;
    default: break;
    }
    edge_adaptive = flag_bit(params.enable_edge_adaptive);
    face_protection = flag_bit(params.enable_face_protection);
    smoothing = flag_bit(params.enable_fast_sr_smooth);
    strong_edge_weight = smoothing ? 0.5f : 0.2f;
    sigma_s = clamp_sigma(params.sigma_s, sigma_s);
    sigma_r = clamp_sigma(params.sigma_r, sigma_r);
}

} // namespace kx_velmo
