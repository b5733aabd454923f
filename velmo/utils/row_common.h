// Portable row kernels for plane copy, chroma split/merge and RGBA to RGB24; any width.
#pragma once

#include "grf/GRFExport.h"

namespace kx_velmo {

// Copies `count` bytes.
GRF_EXPORT void SR_CopyRow_C(const unsigned char* src, unsigned char* dst, int count);

// Keeps bytes 0, 1, 2 of each 4-byte pixel, in order.
GRF_EXPORT void SR_RGBAToRGB24Row_C(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width);

// De-interleaves `width` U,V pairs into two rows.
GRF_EXPORT void SR_SplitUVRow_C(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width);

// Interleaves two rows of `width` samples into U,V pairs.
GRF_EXPORT void SR_MergeUVRow_C(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv,
                                int width);

} // namespace kx_velmo
