// One set of velmo passes per frame size, planned to land on the first frame's output size.
#include "FrameSizeChange.h"

#include "ImageOps.h"

namespace velmo_upscale {

FrameSizeChange::FrameSizeChange(UpscalePasses& first, const EglSession& session, const Options& options,
                                 const std::string& config_folder, int width, int height, const ScalePlan& plan,
                                 const std::string& what)
    : _first(first), _session(session), _options(options), _config_folder(config_folder), _what(what),
      _sizes(options, width, height, plan)
{
}

DrawnTexture FrameSizeChange::upscale(const RgbaImage& frame, int64_t index)
{
    Size size(frame.width, frame.height);
    const ScalePlan* plan = _sizes.plan_for(size, index);
    UpscalePasses* passes = size == _sizes.first_size() ? &_first : nullptr;
    if (plan && !passes) {
        std::unique_ptr<UpscalePasses>& own = _others[size];
        if (!own)
            own = std::make_unique<UpscalePasses>(_session, _options, _config_folder, size.first, size.second,
                                                  *plan, _what);
        passes = own.get();
    }
    if (passes) {
        passes->upload(frame);
        return passes->draw_texture();
    }
    Size first = _sizes.first_size();
    _first.upload(reference_resize(frame, first.first, first.second, CompareFilter::Bicubic));
    return _first.draw_texture();
}

} // namespace velmo_upscale
