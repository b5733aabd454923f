// Frames of any size through velmo on the GPU: each size that reaches the output size in
// proportion through velmo instances made for it, any other shape stretched to the first size.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "FrameSizes.h"
#include "Options.h"
#include "RgbaImage.h"
#include "ScalePlan.h"
#include "UpscalePasses.h"

namespace velmo_upscale {

class FrameSizeChange {
public:
    // `first` draws frames of width x height at the plan's size; it must outlive this object.
    FrameSizeChange(UpscalePasses& first, const EglSession& session, const Options& options,
                    const std::string& config_folder, int width, int height, const ScalePlan& plan,
                    const std::string& what);

    // Upscales frame number `index` (from 0) of any size to the plan's size, as FrameSizes routes
    // it. The result stays on the GPU until the next call.
    DrawnTexture upscale(const RgbaImage& frame, int64_t index);

private:
    using Size = FrameSizes::Size;

    UpscalePasses& _first;
    const EglSession& _session;
    Options _options;
    std::string _config_folder;
    std::string _what;
    FrameSizes _sizes;
    std::map<Size, std::unique_ptr<UpscalePasses>> _others;
};

} // namespace velmo_upscale
