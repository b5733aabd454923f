// Frame sizes across the element: velmo's truncated output size and its inverse over caps.
#pragma once

#include <gst/gst.h>

namespace velmo_gst {

// velmo's output length for an input length: length x scale in single precision, truncated.
// 0 when that is below one pixel or beyond the int range (velmo draws nothing then).
int scaled_length(int length, float scale);

// The element's output length: scaled_length, except that a side that would come out below one
// pixel keeps one. 0 only for a length below one or an output beyond the int range.
int output_length(int length, float scale);

// The scale velmo draws a width x height frame at for the element's `scale`: `scale` itself where
// it leaves both sides a pixel, else the smallest scale that does (the element then stretches
// velmo's picture to the output size).
float drawable_scale(int width, int height, float scale);

// Caps of the other pad for `caps` at `scale`: widths and heights mapped through output_length
// (GST_PAD_SINK: caps of the sink pad, the input) or back to every input length that gives them
// (GST_PAD_SRC: caps of the source pad, the output). Structures left without a valid size are dropped; all other
// fields, the caps features among them, pass unchanged. Where `filter_caps` are given, the result is
// intersected with them, in their order of preference.
GstCaps* transform_scaled_caps(GstCaps* caps, GstPadDirection direction, float scale, GstCaps* filter_caps);

} // namespace velmo_gst
