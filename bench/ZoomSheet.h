// Magnified crops of upscaled pictures side by side, so that a filter's work can be seen.
#pragma once

#include <string>
#include <vector>

#include "RgbaImage.h"

namespace velmo_bench {

// Writes a PNG with one row per entry of `rows`, each the 128x128 centres of its pictures side by
// side, magnified 3 times with each pixel a square; all pictures at least 128 pixels a side.
void write_zoom_sheet(const std::string& path, const std::vector<std::vector<velmo_upscale::RgbaImage>>& rows);

} // namespace velmo_bench
