// Pass planning in velmo's own single-precision truncation, so that every pass's output size is
// known before it is drawn.
#include "client/PassPlan.h"

#include <cmath>
#include <cstdint>

namespace velmo_client {
namespace {

// Streams above this many pixels (1024 x 576) are upscaled unless the priority says otherwise.
constexpr int64_t kLargestStretchedFrame = 1024 * 576;

// length x scale in single precision, truncated; 0 below one pixel or beyond the int range.
int scaled_length(int length, float scale)
{
    float product = static_cast<float>(length) * scale;
    if (!(product >= 1.0f && product < 2147483648.0f))
        return 0;
    return static_cast<int>(product);
}

bool draws(int width, int height, float scale, int target_width, int target_height)
{
    int w = 0;
    int h = 0;
    return output_size(width, height, scale, w, h) && w == target_width && h == target_height;
}

// A single-precision scale that takes width x height to exactly target_width x target_height,
// searched outwards from the ratio of the side that binds; 0 when there is none near it.
float exact_scale(int width, int height, int target_width, int target_height)
{
    float start = std::fmax(static_cast<float>(target_width) / static_cast<float>(width),
                            static_cast<float>(target_height) / static_cast<float>(height));
    float below = start;
    float above = start;
    for (int step = 0; step < 64; ++step) {
        if (draws(width, height, above, target_width, target_height))
            return above;
        if (draws(width, height, below, target_width, target_height))
            return below;
        above = std::nextafter(above, 1e30f);
        below = std::nextafter(below, 0.0f);
    }
    return 0.0f;
}

// Passes of exactly 2 while the target is more than twice the current size; returns how many.
int double_while_above(int64_t& width, int64_t& height, int target_width, int target_height,
                       std::vector<float>& scales)
{
    int doublings = 0;
    while (target_width > 2 * width || target_height > 2 * height) {
        scales.push_back(kMaxPassScale);
        width *= 2;
        height *= 2;
        ++doublings;
    }
    return doublings;
}

} // namespace

std::vector<float> pass_scales_to_size(int width, int height, int target_width, int target_height)
{
    if (width < 1 || height < 1 || target_width < 1 || target_height < 1)
        return {};
    std::vector<float> scales;
    int64_t w = width;
    int64_t h = height;
    double_while_above(w, h, target_width, target_height, scales);
    float last = exact_scale(static_cast<int>(w), static_cast<int>(h), target_width, target_height);
    if (last <= 0.0f || last > kMaxPassScale)
        return {};
    scales.push_back(last);
    return scales;
}

std::vector<float> pass_scales_for_scale(int width, int height, float scale)
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
    int doublings = double_while_above(w, h, out_width, out_height, scales);
    float last = std::ldexp(scale, -doublings);
    // A last scale just above 2 can remain when truncation made the output exactly twice the
    // current size (the doubling stops at no more than twice); 2 draws that size too.
    scales.push_back(last > kMaxPassScale ? kMaxPassScale : last);
    return scales;
}

Settings pass_settings(const Settings& settings, size_t index, size_t count)
{
    Settings pass = settings;
    if (index + 1 < count) {
        pass.level = 0;
        pass.sharpness = 0.0f;
    }
    if (index > 0)
        pass.smooth = false;
    return pass;
}

bool upscales_at(int priority, int width, int height)
{
    if (priority == 0 || priority == 3)
        return false;
    return priority == 2 || static_cast<int64_t>(width) * height > kLargestStretchedFrame;
}

} // namespace velmo_client
