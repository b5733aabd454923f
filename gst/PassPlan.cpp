// The velmo passes that draw a frame at the element's scale: passes of 2, then one that ends on the
// exact output size.
#include "PassPlan.h"

#include <cstdint>

#include "ScaleCaps.h"

namespace velmo_gst {
namespace {

constexpr float kMaxPassScale = 2.0f;

} // namespace

std::vector<float> pass_scales(int width, int height, float scale)
{
    int out_width = scaled_length(width, scale);
    int out_height = scaled_length(height, scale);
    if (out_width == 0 || out_height == 0)
        return {};
    if (scale <= kMaxPassScale)
        return {scale};
    std::vector<float> scales;
    int64_t w = width;
    int64_t h = height;
    float last = scale;
    while (out_width > 2 * w || out_height > 2 * h) {
        scales.push_back(kMaxPassScale);
        w *= 2;
        h *= 2;
        // Halving is exact in binary floating point, and so is doubling the length, so the last
        // pass's single-precision product equals the first one's and truncates to the same size.
        last /= 2.0f;
    }
    // A last scale just above 2 can remain when truncation made the output exactly twice the
    // current size (the loop stops at no more than twice); 2 draws that size too.
    scales.push_back(last > kMaxPassScale ? kMaxPassScale : last);
    return scales;
}

} // namespace velmo_gst
