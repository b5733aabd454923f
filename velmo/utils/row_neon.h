// NEON row kernels for plane copy, chroma split/merge and RGBA to RGB24; whole blocks only.
#pragma once

#include "grf/GRFExport.h"

extern "C" {

// Each kernel processes `width` elements in whole blocks of its size (32 bytes for the copy,
// 16 pixels or pairs for the others) and expects a positive multiple of that block; a trailing
// partial block is left alone. The Any wrappers of row_any.h accept every width.

GRF_EXPORT void SR_CopyRow_NEON(const unsigned char* src, unsigned char* dst, int count);
GRF_EXPORT void SR_ARGBToRGB24Row_NEON(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width);
GRF_EXPORT void SR_SplitUVRow_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v,
                                   int width);
GRF_EXPORT void SR_MergeUVRow_NEON(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv,
                                   int width);
}
