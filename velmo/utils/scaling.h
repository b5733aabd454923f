// Plane and image scaling on the CPU: 2x bilinear upsampling and the fixed-point scaler helpers.
#pragma once

#include "grf/GRFExport.h"
#include "velmo/velmo_cpu.h"  // FilterMode and the declarations a host sees

namespace kx_velmo {

// 16.16 fixed-point quotient num / div (64-bit intermediate, truncated toward zero); 0 for div == 0.
GRF_EXPORT int FixedDiv_C(int num, int div);

// Step that maps the ends of a row of `div` samples onto the ends of `num`:
// (num * 65536 - 65537) / (div - 1); 0 for div == 1.
GRF_EXPORT int FixedDiv1_C(int num, int div);

// The cheapest filter that gives the same result as `filtering` for these sizes.
GRF_EXPORT FilterMode SR_ScaleFilterReduce(int src_width, int src_height, int dst_width, int dst_height,
                                           FilterMode filtering);

// Start position (x, y) and step (dx, dy) in 16.16 fixed point for a general scaler. A negative
// src_width mirrors horizontally; a negative src_height enters the vertical step signed. All four
// values are written for every src_width != 0, src_height != 0, dst_width > 0, dst_height > 0,
// known filter and non-null pointers; otherwise nothing is written. With bilinear or linear
// filtering a source one pixel wide (or, bilinear, one pixel high) that is upsampled gets step 0
// at position 0: every output takes that one column or row.
GRF_EXPORT void SR_ScaleSlope(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering,
                              int* x, int* y, int* dx, int* dy);

// 2x bilinear upsampling of a plane whose source size is half the destination size rounded up
// (dst = 2 × src or 2 × src − 1 in each dimension). Other sizes, and a null plane, write nothing.
GRF_EXPORT void SR_ScalePlaneUp2_Bilinear(int src_width, int src_height, int dst_width, int dst_height,
                                          int src_stride, int dst_stride, const unsigned char* src,
                                          unsigned char* dst);

// The same for an interleaved U,V plane; widths count pairs.
GRF_EXPORT void SR_ScaleUVBilinearUp2(int src_width, int src_height, int dst_width, int dst_height, int src_stride,
                                      int dst_stride, const unsigned char* src, unsigned char* dst);

// The library scales only by two in both directions with bilinear filtering (FILTER_BOX counts as
// bilinear there): destination size 2 × source or 2 × source − 1 in each dimension. A negative
// source height flips the result vertically.

// Scales a plane; a null plane, or any unsupported size combination or filter, writes nothing.
GRF_EXPORT void SR_ScalePlane(const unsigned char* src, int src_stride, int src_width, int src_height,
                              unsigned char* dst, int dst_stride, int dst_width, int dst_height,
                              FilterMode filtering);

// Scales an interleaved U,V plane (widths in pairs). Returns 0, or -1 without writing for a null
// pointer, src_width <= 0, src_height == 0, a source side over 32768 (the height counted without
// its sign), a non-positive destination size, or an unsupported scale. A source one pixel wide or
// high is unsupported (filtering reduces to linear or none there), so it is refused too.
GRF_EXPORT int SR_UVScale(const unsigned char* src_uv, int src_stride_uv, int src_width, int src_height,
                          unsigned char* dst_uv, int dst_stride_uv, int dst_width, int dst_height,
                          FilterMode filtering);

// Scales an I420 image; the chroma planes use the halved sizes, rounded away from zero. Returns 0,
// or -1 without writing for the argument errors of SR_UVScale or when the luma or chroma scale is
// unsupported (so a source side of 1 or 2 pixels, whose chroma side is one sample, is refused).
GRF_EXPORT int SR_I420Scale(const unsigned char* src_y, int src_stride_y, const unsigned char* src_u,
                            int src_stride_u, const unsigned char* src_v, int src_stride_v, int src_width,
                            int src_height, unsigned char* dst_y, int dst_stride_y, unsigned char* dst_u,
                            int dst_stride_u, unsigned char* dst_v, int dst_stride_v, int dst_width, int dst_height,
                            FilterMode filtering);

// Scales an NV12 image, with the same results as SR_I420Scale.
GRF_EXPORT int SR_NV12Scale(const unsigned char* src_y, int src_stride_y, const unsigned char* src_uv,
                            int src_stride_uv, int src_width, int src_height, unsigned char* dst_y, int dst_stride_y,
                            unsigned char* dst_uv, int dst_stride_uv, int dst_width, int dst_height,
                            FilterMode filtering);

} // namespace kx_velmo
