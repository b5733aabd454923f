// The EXIF orientation (1 to 8) that cameras and phones store instead of turning the pixels, read
// from the EXIF block and applied as image viewers apply it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "RgbaImage.h"

namespace velmo_upscale {

// The Orientation tag of an EXIF block (a TIFF header and its first directory, with or without
// the "Exif\0\0" prefix of JPEG); 1 when the block has none or is damaged.
int exif_orientation(const uint8_t* exif, size_t size);

// The orientation FFmpeg's decoders give as the frame's "Orientation" text; 1 for none or nonsense.
int orientation_from_text(const char* text);

// Whether the orientation shows the picture sideways: width and height swap.
bool orientation_swaps_sides(int orientation);

// The picture as the orientation shows it.
RgbaImage apply_orientation(const RgbaImage& stored, int orientation);

// "turned 90 degrees clockwise", "mirrored left to right"; empty for 1.
std::string orientation_text(int orientation);

} // namespace velmo_upscale
