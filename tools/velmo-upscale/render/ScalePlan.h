// The output size the options ask for and the velmo passes that reach it exactly, each pass at
// most 2x because that is the most one velmo instance draws.
#pragma once

#include <string>
#include <vector>

#include "Options.h"

namespace velmo_upscale {

struct ScalePlan {
    int width = 0;  // the final output size
    int height = 0;
    // The scale each velmo pass is given, in order; every pass draws trunc(side x scale) in single
    // precision from the previous pass's size, and the last one lands on width x height.
    std::vector<float> pass_scales;
};

// --scale S: each side times S, truncated (S up to 2 is a single pass given S itself).
// --width W or --height H: that side exactly, the other in proportion, rounded down; both: the
// largest such size inside W x H. The passes follow the player-side pass plan: above 2x, passes of
// exactly 2 come first and one pass of at most 2 ends on the exact size (4 = 2 x 2, 3 = 2 x 1.5).
// Throws ToolError(kExitUsage) when the size leaves nothing to draw or cannot be drawn exactly.
ScalePlan plan_scale(const Options& options, int width, int height, const std::string& what);

// "2 velmo passes (2 x 1.5)" for the summary; empty for a single pass.
std::string passes_text(const ScalePlan& plan);

} // namespace velmo_upscale
