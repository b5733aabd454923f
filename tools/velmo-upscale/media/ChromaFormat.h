// The chroma layout of a video, carried from the input to the encoder's pixel format so that
// 4:4:4 and 4:2:2 video stays so where the encoder takes it.
#pragma once

#include <string>

#include "AvSupport.h"

namespace velmo_upscale {

// Chroma subsampling as log2 steps across and down: 0 0 is 4:4:4, 1 0 is 4:2:2, 1 1 is 4:2:0.
struct ChromaFormat {
    int shift_x = 1;
    int shift_y = 1;
    bool operator==(const ChromaFormat& other) const { return shift_x == other.shift_x && shift_y == other.shift_y; }
};

// A YUV format's own subsampling; 4:2:0, the usual video layout, for RGB, grey and unknown formats.
ChromaFormat chroma_format_of(AVPixelFormat format);

// "4:4:4", "4:2:2", "4:2:0", "4:1:1", "4:4:0" or "4:1:0".
std::string chroma_text(ChromaFormat chroma);

// Planar YUV of this layout (4:4:4, 4:2:2 or 4:2:0) at 8, 10 or 12 bits; AV_PIX_FMT_NONE otherwise.
AVPixelFormat planar_yuv(ChromaFormat chroma, int depth);

} // namespace velmo_upscale
