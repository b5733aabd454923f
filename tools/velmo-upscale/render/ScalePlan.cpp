// Output size and pass planning: integer arithmetic for the size, velmo's own float truncation
// for every pass so that each pass's output is known before it is drawn.
#include "ScalePlan.h"

#include <cmath>
#include <cstdint>
#include <sstream>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

constexpr float kMaxPassScale = 2.0f;

bool draws(int width, int height, float scale, int target_width, int target_height)
{
    int w = 0;
    int h = 0;
    return velmo_client::output_size(width, height, scale, w, h) && w == target_width && h == target_height;
}

// A single-precision scale that takes width x height to exactly target_width x target_height,
// or 0 when there is none near the exact ratio.
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

std::string size_of(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

} // namespace

ScalePlan plan_scale(const Options& options, int width, int height, const std::string& what)
{
    ScalePlan plan;
    if (options.width > 0 || options.height > 0) {
        // The side that binds first, the other in proportion, both in integers.
        int64_t w = width;
        int64_t h = height;
        bool by_width = options.width > 0 && (options.height == 0 || options.width * h <= options.height * w);
        int64_t target_w = by_width ? options.width : options.height * w / h;
        int64_t target_h = by_width ? options.width * h / w : options.height;
        if (target_w < 1 || target_h < 1)
            throw ToolError(kExitUsage, std::string(by_width ? "--width " : "--height ") +
                                            std::to_string(by_width ? options.width : options.height) +
                                            " leaves nothing of a " + size_of(width, height) + " " + what);
        plan.width = static_cast<int>(target_w);
        plan.height = static_cast<int>(target_h);
    } else {
        if (!scaled_size(width, height, options.scale, plan.width, plan.height)) {
            std::ostringstream message;
            message << "--scale " << options.scale << " leaves nothing of a " << size_of(width, height) << " "
                    << what;
            throw ToolError(kExitUsage, message.str());
        }
        if (options.scale <= kMaxPassScale) {
            plan.pass_scales.push_back(options.scale);
            return plan;
        }
    }

    int w = width;
    int h = height;
    while (plan.width > 2 * w || plan.height > 2 * h) {
        plan.pass_scales.push_back(kMaxPassScale);
        w *= 2;
        h *= 2;
    }
    float last = exact_scale(w, h, plan.width, plan.height);
    if (last <= 0.0f || last > kMaxPassScale)
        throw ToolError(kExitUsage, "cannot draw exactly " + size_of(plan.width, plan.height) + " from a " +
                                        size_of(width, height) + " " + what);
    plan.pass_scales.push_back(last);
    return plan;
}

} // namespace velmo_upscale
