// Portable 2x bilinear upsampling row kernels for 8-bit planes and interleaved UV planes.
#pragma once

#include <cstddef>

#include "grf/GRFExport.h"

extern "C" {

// Reads source rows src_ptr and src_ptr + src_stride, writes destination rows dst_ptr and
// dst_ptr + dst_stride. Output 2x + k of each destination row blends source elements x and x + 1
// with weights 3:1 (k = 0) or 1:3 (k = 1), and the two destination rows weigh the source rows
// 3:1 and 1:3: (9 near + 3 + 3 + far + 8) >> 4. dst_width must be even; an odd last output is
// left alone and a negative width writes nothing.
GRF_EXPORT void SR_ScaleRowUp2_Bilinear_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                          unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);

// The same for U,V pairs: each channel is filtered on its own; dst_width counts pairs.
GRF_EXPORT void SR_ScaleUVRowUp2_Bilinear_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                            unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
}
