// The passes that take a frame to its output size, each at most 2x because that is the most one
// velmo instance (and one call of the CPU pass) draws, and what each pass is drawn with: the one
// rule that velmo-upscale, the GStreamer elements and every other player-side program share.
#pragma once

#include <cstddef>
#include <vector>

#include "client/Settings.h"

namespace velmo_client {

constexpr float kMaxPassScale = 2.0f;

// The scale of each pass, in order, that takes width x height to exactly target_width x
// target_height: passes of exactly 2 while the target is more than twice the current size, then
// one pass of at most 2 whose single-precision product truncates to the target. Empty when no such
// last scale exists (a target out of proportion with the frame) or a size is not positive.
std::vector<float> pass_scales_to_size(int width, int height, int target_width, int target_height);

// The scale of each pass that draws width x height at `scale` (each side times the scale in single
// precision, truncated): up to 2 one pass at the scale itself; above it passes of exactly 2, then
// the scale divided by the same power of two, which lands on the same size because halving and
// doubling are exact in binary floating point. Empty when the output would have no pixel or leave
// the int range.
std::vector<float> pass_scales_for_scale(int width, int height, float scale);

// What pass `index` of `count` is drawn with: the passes before the last unsharpened, because each
// pass's unsharp mask would sharpen the one before's again, and the passes after the first
// unsmoothed, because each smoothing would soften the one before's again: the sharpening asked for
// is applied once, at the output size, and the smoothing once, at the input size.
Settings pass_settings(const Settings& settings, size_t index, size_t count);

// Whether velmo runs its upscaling pipeline on a pass whose input is width x height at this
// priority, or only stretches it: 2 always, 0 and 3 never, other values above 1024 x 576 pixels.
bool upscales_at(int priority, int width, int height);

} // namespace velmo_client
