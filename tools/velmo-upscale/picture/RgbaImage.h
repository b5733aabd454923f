// The tool's picture in memory: the player-side layer's 8-bit RGBA image, rows top to bottom.
#pragma once

#include "client/RgbaImage.h"

namespace velmo_upscale {

using velmo_client::RgbaImage;

} // namespace velmo_upscale
