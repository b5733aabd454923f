// The ink values of a CMYK JPEG as stored, through libjpeg: FFmpeg's decoder turns CMYK into RGB by
// a plain formula, which the picture's colour profile does not describe.
#pragma once

#include <cstdint>
#include <vector>

#include "InputFile.h"

namespace velmo_upscale {

struct CmykSamples {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> values; // C, M, Y, K per pixel, rows top to bottom
    bool inverted = false;       // 255 is no ink, as Adobe's applications write them
};

// Reads the rest of `input` as a JPEG and returns its CMYK samples; false (and nothing read into
// `samples`) when it is no CMYK JPEG that libjpeg can decode.
bool read_cmyk_jpeg(InputFile& input, CmykSamples& samples);

} // namespace velmo_upscale
