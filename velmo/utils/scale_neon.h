// NEON 2x bilinear upsampling row kernels; whole blocks of 16 pixels or 8 UV pairs.
#pragma once

#include <cstddef>

#include "grf/GRFExport.h"

extern "C" {

// Same bytes as SR_ScaleRowUp2_Bilinear_C for dst_width a positive multiple of 16; a trailing
// partial block is left alone.
GRF_EXPORT void SR_ScaleRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                             unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);

// Same bytes as SR_ScaleUVRowUp2_Bilinear_C for dst_width (pairs) a positive multiple of 8.
GRF_EXPORT void SR_ScaleUVRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                               unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
}
