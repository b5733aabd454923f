// Frames whose size changes within the stream (TS captures, adaptive streams), all brought to the
// one output size chosen from the first frame: which plan each size takes, and the note on stderr
// when the size changes. Both backends route their frames through it.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "Options.h"
#include "ScalePlan.h"

namespace velmo_upscale {

class FrameSizes {
public:
    FrameSizes(const Options& options, int width, int height, const ScalePlan& plan);

    using Size = std::pair<int, int>;
    Size first_size() const { return _first_size; }

    // The plan that takes frame number `index` (from 0) of `size` to the first frame's output size
    // in its own proportions; nullptr for another shape, which is stretched to the first size and
    // drawn with the first plan, so the whole picture is always kept. Each change of size is noted
    // on stderr the first time it happens.
    const ScalePlan* plan_for(Size size, int64_t index);

private:
    Options _options;
    Size _first_size;
    ScalePlan _plan;
    Size _last_size;
    std::map<Size, std::unique_ptr<ScalePlan>> _plans; // null where no plan reaches the output size
    std::set<std::pair<Size, Size>> _noted;
};

} // namespace velmo_upscale
