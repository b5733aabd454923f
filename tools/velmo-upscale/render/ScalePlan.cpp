// Output size from the options in integer arithmetic; the passes that reach it from the
// player-side layer's pass plan, which the GStreamer elements share.
#include "ScalePlan.h"

#include <cstdint>
#include <cstdio>
#include <sstream>

#include "ToolError.h"
#include "client/PassPlan.h"

namespace velmo_upscale {
namespace {

std::string size_of(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

} // namespace

ScalePlan plan_scale(const Options& options, int width, int height, const std::string& what)
{
    ScalePlan plan;
    if (options.width == 0 && options.height == 0) {
        if (!scaled_size(width, height, options.scale, plan.width, plan.height)) {
            std::ostringstream message;
            message << "--scale " << options.scale << " leaves nothing of a " << size_of(width, height) << " "
                    << what;
            throw ToolError(kExitUsage, message.str());
        }
        plan.pass_scales = velmo_client::pass_scales_for_scale(width, height, options.scale);
        return plan;
    }

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
    plan.pass_scales = velmo_client::pass_scales_to_size(width, height, plan.width, plan.height);
    if (plan.pass_scales.empty())
        throw ToolError(kExitUsage, "cannot draw exactly " + size_of(plan.width, plan.height) + " from a " +
                                        size_of(width, height) + " " + what);
    return plan;
}

std::string passes_text(const ScalePlan& plan)
{
    if (plan.pass_scales.size() < 2)
        return "";
    std::string text = std::to_string(plan.pass_scales.size()) + " velmo passes (";
    for (size_t i = 0; i < plan.pass_scales.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%s%.4g", i ? " x " : "", static_cast<double>(plan.pass_scales[i]));
        text += number;
    }
    return text + ")";
}

} // namespace velmo_upscale
