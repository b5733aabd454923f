// One plan per frame size, planned to land on the first frame's output size.
#include "FrameSizes.h"

#include <cstdio>

#include "Jobs.h"
#include "ToolError.h"

namespace velmo_upscale {

FrameSizes::FrameSizes(const Options& options, int width, int height, const ScalePlan& plan)
    : _options(options), _first_size(width, height), _plan(plan), _last_size(width, height)
{
    _plans[_first_size] = std::make_unique<ScalePlan>(plan);
}

const ScalePlan* FrameSizes::plan_for(Size size, int64_t index)
{
    auto known = _plans.find(size);
    if (known == _plans.end()) {
        // The largest size of this frame's proportions inside the output: velmo takes the frame
        // there when that is the output size itself.
        Options fitted = _options;
        fitted.width = _plan.width;
        fitted.height = _plan.height;
        std::unique_ptr<ScalePlan> plan;
        try {
            ScalePlan own = plan_scale(fitted, size.first, size.second, "video frame");
            if (own.width == _plan.width && own.height == _plan.height)
                plan = std::make_unique<ScalePlan>(own);
        } catch (const ToolError& error) {
            if (error.status() != kExitUsage)
                throw;
        }
        known = _plans.emplace(size, std::move(plan)).first;
    }
    if (size != _last_size && _noted.insert({_last_size, size}).second) {
        std::string text = "the size changes at frame " + std::to_string(index + 1) + ": " +
                           size_text(_last_size.first, _last_size.second) + " -> " +
                           size_text(size.first, size.second);
        if (!known->second)
            text += " (another shape: stretched to " + size_text(_first_size.first, _first_size.second) +
                    " before velmo)";
        std::fprintf(stderr, "velmo-upscale: note: %s\n", text.c_str());
    }
    _last_size = size;
    return known->second.get();
}

} // namespace velmo_upscale
