// Frames whose size changes within the stream (TS captures, adaptive streams), all brought to the
// one output size chosen from the first frame, each through a velmo instance made for its own size.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

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

    // Upscales frame number `index` (from 0) of any size to the plan's size. A size velmo can take
    // to that size in proportion gets its own passes; any other shape is stretched to the first
    // size and drawn by `first`, so the whole picture is always kept. Each change of size is noted
    // on stderr the first time it happens. The result stays on the GPU until the next call.
    DrawnTexture upscale(const RgbaImage& frame, int64_t index);

private:
    using Size = std::pair<int, int>;
    UpscalePasses* passes_for(Size size);

    UpscalePasses& _first;
    const EglSession& _session;
    Options _options;
    std::string _config_folder;
    Size _first_size;
    ScalePlan _plan;
    std::string _what;
    Size _last_size;
    std::map<Size, std::unique_ptr<UpscalePasses>> _others; // null where velmo cannot reach the plan
    std::set<std::pair<Size, Size>> _noted;
};

} // namespace velmo_upscale
