// The velmo passes that draw a frame at the element's scale, each at most 2x because that is the
// most one velmo instance draws.
#pragma once

#include <vector>

namespace velmo_gst {

// The scale of each velmo pass, in order, that takes width x height to scaled_length of each side
// at `scale`: up to 2 one pass at the scale itself; above it passes of exactly 2 while the output
// is more than twice the current size, then one pass of at most 2 that lands on the output size
// exactly. Empty when the output would have no pixel or leave the int range.
std::vector<float> pass_scales(int width, int height, float scale);

} // namespace velmo_gst
