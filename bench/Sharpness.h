// How sharp a picture is, as one number that compares upscalers and sharpening strengths.
#pragma once

#include "RgbaImage.h"

namespace velmo_bench {

// The root mean square of the differences between neighbouring pixels' luma (BT.601 weights,
// 0..255), across and down. Finer detail and crisper or overshooting edges raise it; blur lowers
// it. Pictures narrower or lower than two pixels give 0.
double luma_gradient_rms(const velmo_upscale::RgbaImage& image);

} // namespace velmo_bench
