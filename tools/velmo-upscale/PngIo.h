// PNG files in and out through libpng's simplified interface, any colour type read as RGBA8.
#pragma once

#include <cstdio>
#include <string>

#include "RgbaImage.h"

namespace velmo_upscale {

struct PngPicture {
    RgbaImage image;
    bool has_alpha = false; // the file carried transparency (alpha channel or tRNS)
};

// True when the file starts with the PNG signature; false for a missing or short file.
bool looks_like_png(const std::string& path);

// Throws ToolError(kExitInput) for a missing, unreadable, damaged or oversized file.
PngPicture read_png(const std::string& path);

// Writes RGBA8 (or RGB8 when with_alpha is false) to an open stream; throws ToolError(kExitOutput)
// naming `display_name` when libpng or the stream fails.
void write_png(std::FILE* file, const RgbaImage& image, bool with_alpha, const std::string& display_name);

class OutputFile;

// Writes the picture into the output's temporary file (commit it afterwards); throws
// ToolError(kExitOutput).
void write_png_to(const OutputFile& output, const RgbaImage& image, bool with_alpha);

// Writes the picture to `path` through an OutputFile, so a failure leaves nothing behind;
// throws ToolError(kExitOutput).
void save_png(const std::string& path, const RgbaImage& image, bool with_alpha);

} // namespace velmo_upscale
