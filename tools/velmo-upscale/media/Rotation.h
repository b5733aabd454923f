// The rotation a display matrix asks a player for, applied to the pixels themselves for outputs
// whose container cannot carry the matrix (Matroska, Y4M and PNG here), as FFmpeg's own command does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Options.h"
#include "RgbaImage.h"

namespace velmo_upscale {

// The clockwise quarter turns (1 to 3) a display matrix shows the picture with; 0 for no matrix,
// no turn, or a turn that is no multiple of 90 degrees.
int clockwise_quarter_turns(const std::vector<uint8_t>& display_matrix);

// `image` turned clockwise by `quarter_turns` (0 to 3) into `result`.
void turn_clockwise(const RgbaImage& image, int quarter_turns, RgbaImage& result);

// "MKV cannot carry the display rotation: the picture is turned 90 degrees clockwise instead".
std::string turned_upright_text(OutputKind kind, int degrees);

} // namespace velmo_upscale
