// Whole-picture operations of the tool: the comparison picture and its reference resize.
#pragma once

#include "Options.h"
#include "RgbaImage.h"

namespace velmo_upscale {

// `left` and `right` next to each other, a `gap` of mid grey between them, both top-aligned on
// a mid-grey background when their heights differ.
RgbaImage side_by_side(const RgbaImage& left, const RgbaImage& right, int gap);

// `source` resized to width x height with libswscale's filter: the ordinary upscale that --compare
// shows beside velmo's. Throws ToolError(kExitFailure) when libswscale refuses the sizes.
RgbaImage reference_resize(const RgbaImage& source, int width, int height, CompareFilter filter);

} // namespace velmo_upscale
