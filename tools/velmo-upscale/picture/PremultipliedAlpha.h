// Colour weighted by its own transparency, so that resampling never mixes in the colour that
// fully transparent pixels happen to hold (the green behind a red cut-out, say).
#pragma once

#include "RgbaImage.h"

namespace velmo_upscale {

// Multiplies red, green and blue by alpha / 255, rounded; alpha stays. An opaque pixel is unchanged.
void premultiply_alpha(RgbaImage& image);

// Takes the alpha channel of `alpha` (same size) into `target`, whose colour is premultiplied,
// and divides the colour by it, rounded and clamped to 255: the straight colour a PNG stores.
// Fully transparent pixels come out black; opaque ones keep their colour exactly.
void unpremultiply_with_alpha_of(const RgbaImage& alpha, RgbaImage& target);

} // namespace velmo_upscale
