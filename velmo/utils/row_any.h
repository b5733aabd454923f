// Any-width wrappers that run the whole blocks of a row through a NEON kernel and finish the rest.
#pragma once

#include <cstddef>

#include "grf/GRFExport.h"

extern "C" {

// Plane copy and format conversion, any width >= 0 (smaller widths write nothing). The last partial
// block goes through the kernel in a stack scratch area, so no row is read or written past `width`.
GRF_EXPORT void SR_CopyRow_Any_NEON(const unsigned char* src, unsigned char* dst, int count);
GRF_EXPORT void SR_ARGBToRGB24Row_Any_NEON(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width);
GRF_EXPORT void SR_SplitUVRow_Any_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v,
                                       int width);
GRF_EXPORT void SR_MergeUVRow_Any_NEON(const unsigned char* src_u, const unsigned char* src_v,
                                       unsigned char* dst_uv, int width);

// 2x bilinear upsampling of two source rows into two destination rows of any dst_width >= 1
// (smaller widths write nothing). The first and last outputs take the nearest source column only;
// interior output j blends source columns (j - 1) / 2 and (j - 1) / 2 + 1. The _NEON wrappers run
// whole 16-pixel (8-pair) blocks through the NEON kernel and the rest through the portable one.
GRF_EXPORT void SR_ScaleRowUp2_Bilinear_Any_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                              unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
GRF_EXPORT void SR_ScaleRowUp2_Bilinear_Any_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                                 unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
GRF_EXPORT void SR_ScaleUVRowUp2_Bilinear_Any_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                                unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
GRF_EXPORT void SR_ScaleUVRowUp2_Bilinear_Any_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                                   unsigned char* dst_ptr, std::ptrdiff_t dst_stride,
                                                   int dst_width);
}
