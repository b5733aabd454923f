// Plane copy, chroma split and merge, NV12 <-> I420 conversion and RGBA to RGB24 on the CPU.
#pragma once

#include "grf/GRFExport.h"

namespace kx_velmo {

// All routines walk the image row by row with a NEON row kernel when cpu_info_ allows it,
// otherwise with the portable one; both give the same bytes. Widths and heights count elements of
// the plane concerned (pixels, or U,V pairs for interleaved chroma); strides are in bytes. A
// negative height asks for a vertically flipped result; INT_MIN, which has no positive
// counterpart, is refused like a height of 0. A null plane pointer is refused too (the one
// exception, a null dst_y, is stated per routine). Refused calls write nothing: the plane routines
// simply return, the converters return -1. Strides and plane sizes are the caller's duty and are
// not checked.

// Copies a plane. Nothing happens for a null src or dst, width <= 0, height == 0 or INT_MIN, or
// src == dst with equal strides (no row kernel runs then).
GRF_EXPORT void SR_CopyPlane(const unsigned char* src, int src_stride, unsigned char* dst, int dst_stride, int width,
                             int height);

// Splits an interleaved U,V plane of `width` pairs per row into a U and a V plane. Nothing happens
// for a null plane, width <= 0, height == 0 or INT_MIN.
GRF_EXPORT void SR_SplitUVPlane(const unsigned char* src_uv, int src_stride_uv, unsigned char* dst_u,
                                int dst_stride_u, unsigned char* dst_v, int dst_stride_v, int width, int height);

// Merges a U and a V plane into one interleaved U,V plane of `width` pairs per row. Nothing
// happens for a null plane, width <= 0, height == 0 or INT_MIN.
GRF_EXPORT void SR_MergeUVPlane(const unsigned char* src_u, int src_stride_u, const unsigned char* src_v,
                                int src_stride_v, unsigned char* dst_uv, int dst_stride_uv, int width, int height);

// NV12 to I420. Returns -1, writing nothing, when src_uv, dst_u or dst_v is null, dst_y is given
// without src_y, width <= 0, or height is 0 or INT_MIN; 0 otherwise. A null dst_y skips the luma
// plane, and src_y may then be null too.
GRF_EXPORT int SR_NV12ToI420(const unsigned char* src_y, int src_stride_y, const unsigned char* src_uv,
                             int src_stride_uv, unsigned char* dst_y, int dst_stride_y, unsigned char* dst_u,
                             int dst_stride_u, unsigned char* dst_v, int dst_stride_v, int width, int height);

// I420 to NV12. Returns -1, writing nothing, when src_y, src_u, src_v or dst_uv is null,
// width <= 0, or height is 0 or INT_MIN; 0 otherwise. A null dst_y skips the luma plane.
GRF_EXPORT int SR_I420ToNV12(const unsigned char* src_y, int src_stride_y, const unsigned char* src_u,
                             int src_stride_u, const unsigned char* src_v, int src_stride_v, unsigned char* dst_y,
                             int dst_stride_y, unsigned char* dst_uv, int dst_stride_uv, int width, int height);

// Drops byte 3 of every 4-byte pixel. Returns -1, writing nothing, when a pointer is null,
// width <= 0, or height is 0 or INT_MIN; 0 otherwise.
GRF_EXPORT int SR_RGBAToRGB24(const unsigned char* src_rgba, int src_stride_rgba, unsigned char* dst_rgb24,
                              int dst_stride_rgb24, int width, int height);

} // namespace kx_velmo
