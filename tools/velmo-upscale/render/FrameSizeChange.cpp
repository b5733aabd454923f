// One set of velmo passes per frame size, planned to land on the first frame's output size.
#include "FrameSizeChange.h"

#include <cstdio>

#include "ImageOps.h"
#include "Jobs.h"
#include "ToolError.h"

namespace velmo_upscale {

FrameSizeChange::FrameSizeChange(UpscalePasses& first, const EglSession& session, const Options& options,
                                 const std::string& config_folder, int width, int height, const ScalePlan& plan,
                                 const std::string& what)
    : _first(first), _session(session), _options(options), _config_folder(config_folder),
      _first_size(width, height), _plan(plan), _what(what), _last_size(width, height)
{
}

UpscalePasses* FrameSizeChange::passes_for(Size size)
{
    if (size == _first_size)
        return &_first;
    auto known = _others.find(size);
    if (known != _others.end())
        return known->second.get();
    // The largest size of this frame's proportions inside the output: velmo takes the frame there
    // when that is the output size itself.
    Options fitted = _options;
    fitted.width = _plan.width;
    fitted.height = _plan.height;
    std::unique_ptr<UpscalePasses> passes;
    try {
        ScalePlan plan = plan_scale(fitted, size.first, size.second, "video frame");
        if (plan.width == _plan.width && plan.height == _plan.height)
            passes = std::make_unique<UpscalePasses>(_session, _options, _config_folder, size.first, size.second,
                                                     plan, _what);
    } catch (const ToolError& error) {
        if (error.status() != kExitUsage)
            throw;
    }
    return (_others[size] = std::move(passes)).get();
}

DrawnTexture FrameSizeChange::upscale(const RgbaImage& frame, int64_t index)
{
    Size size(frame.width, frame.height);
    UpscalePasses* passes = passes_for(size);
    if (size != _last_size && _noted.insert({_last_size, size}).second) {
        std::string text = "the size changes at frame " + std::to_string(index + 1) + ": " +
                           size_text(_last_size.first, _last_size.second) + " -> " +
                           size_text(size.first, size.second);
        if (!passes)
            text += " (another shape: stretched to " + size_text(_first_size.first, _first_size.second) +
                    " before velmo)";
        std::fprintf(stderr, "velmo-upscale: note: %s\n", text.c_str());
    }
    _last_size = size;
    if (passes) {
        passes->upload(frame);
        return passes->draw_texture();
    }
    _first.upload(reference_resize(frame, _first_size.first, _first_size.second, CompareFilter::Bicubic));
    return _first.draw_texture();
}

} // namespace velmo_upscale
