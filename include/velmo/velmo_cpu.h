/* velmo's CPU routines for 8-bit planar images: plane copy, chroma split and merge, NV12 <-> I420,
 * RGBA to RGB24, and 2x bilinear upsampling of planes and whole images. C++ only: the plane
 * routines live in namespace kx_velmo; the row kernels have plain C names. Nothing in the GPU
 * path calls them, and they need no GPU.
 *
 * Common rules
 *  - Planes are given as a pointer and a stride in bytes. Widths and heights count elements of
 *    the plane concerned: pixels, or U,V pairs for an interleaved chroma plane. In 4:2:0 images
 *    the chroma planes have ceil(width / 2) x ceil(height / 2) samples.
 *  - A negative height asks for a vertically flipped result: row 0 of the source lands on the last
 *    row of the destination. INT_MIN, which has no positive counterpart, is refused like 0.
 *  - A NULL plane pointer is refused (the one exception, a NULL dst_y, is stated per routine).
 *  - The routines check what is said per routine and nothing else. Strides, plane sizes and
 *    overlapping buffers are the caller's duty: every plane must hold |height| rows of its stride
 *    and at least width elements per row.
 *  - A refused call writes nothing. Routines that return int give 0 on success and -1 when they
 *    refuse; the void ones simply return.
 *  - Each routine picks, once per call, a NEON row kernel (SIMD emulation off ARM) or a portable
 *    one from cpu_info_; both give the same bytes.
 *  - All routines are reentrant; the only shared datum is cpu_info_.
 */
#ifndef VELMO_VELMO_CPU_H
#define VELMO_VELMO_CPU_H

#ifndef __cplusplus
#error "velmo_cpu.h declares C++ functions in namespace kx_velmo; include it from C++"
#endif

#include <cstddef>

#include "velmo_api.h"

#ifndef VELMO_API
#if defined(__GNUC__)
#define VELMO_API __attribute__((visibility("default")))
#else
#define VELMO_API
#endif
#endif

namespace kx_velmo {

/* CPU feature word. Zero at load; the first routine that looks at it on zero stores
 * CPU_INITIALIZED | CPU_HAS_ARM | CPU_HAS_NEON (the processor is never probed). Store another
 * non-zero value before the first call, CPU_INITIALIZED alone say, to force the portable kernels.
 * Written without synchronisation: set it before other threads call the routines. */
constexpr int CPU_INITIALIZED = 0x1;
constexpr int CPU_HAS_ARM = 0x2;
constexpr int CPU_HAS_NEON = 0x4;
VELMO_API extern int cpu_info_;

/* ---- Plane copy and format conversion ---- */

/* Copies a width x |height| plane. Returns without writing for a NULL src or dst, width <= 0, or
 * height 0 or INT_MIN; copies nothing when src == dst with equal strides. */
VELMO_API void SR_CopyPlane(const unsigned char* src, int src_stride, unsigned char* dst, int dst_stride, int width,
                            int height);

/* Splits an interleaved U,V plane of width pairs per row into a U plane and a V plane of width
 * samples per row. Returns without writing for a NULL plane, width <= 0, or height 0 or INT_MIN. */
VELMO_API void SR_SplitUVPlane(const unsigned char* src_uv, int src_stride_uv, unsigned char* dst_u, int dst_stride_u,
                               unsigned char* dst_v, int dst_stride_v, int width, int height);

/* Merges a U plane and a V plane into one interleaved U,V plane of width pairs per row. Returns
 * without writing for a NULL plane, width <= 0, or height 0 or INT_MIN. */
VELMO_API void SR_MergeUVPlane(const unsigned char* src_u, int src_stride_u, const unsigned char* src_v,
                               int src_stride_v, unsigned char* dst_uv, int dst_stride_uv, int width, int height);

/* NV12 (Y plane, interleaved U,V plane) to I420 (Y, U, V planes) for a width x height image.
 * dst_y NULL converts the chroma only, and src_y may then be NULL too. Returns -1 when src_uv,
 * dst_u or dst_v is NULL, dst_y is given without src_y, width <= 0, or height is 0 or INT_MIN;
 * 0 otherwise. */
VELMO_API int SR_NV12ToI420(const unsigned char* src_y, int src_stride_y, const unsigned char* src_uv,
                            int src_stride_uv, unsigned char* dst_y, int dst_stride_y, unsigned char* dst_u,
                            int dst_stride_u, unsigned char* dst_v, int dst_stride_v, int width, int height);

/* I420 to NV12 for a width x height image. dst_y NULL converts the chroma only (src_y must still
 * be given). Returns -1 when src_y, src_u, src_v or dst_uv is NULL, width <= 0, or height is 0
 * or INT_MIN; 0 otherwise. */
VELMO_API int SR_I420ToNV12(const unsigned char* src_y, int src_stride_y, const unsigned char* src_u,
                            int src_stride_u, const unsigned char* src_v, int src_stride_v, unsigned char* dst_y,
                            int dst_stride_y, unsigned char* dst_uv, int dst_stride_uv, int width, int height);

/* Keeps bytes 0, 1, 2 of every 4-byte pixel, in order (RGBA to RGB24, equally BGRA to BGR24).
 * Returns -1 when a pointer is NULL, width <= 0, or height is 0 or INT_MIN; 0 otherwise. */
VELMO_API int SR_RGBAToRGB24(const unsigned char* src_rgba, int src_stride_rgba, unsigned char* dst_rgb24,
                             int dst_stride_rgb24, int width, int height);

/* ---- Scaling ----
 * The only scale implemented is 2x bilinear upsampling in both directions: destination sides
 * 2 x source or 2 x source - 1 (the source is half the destination, rounded up), with
 * FILTER_BILINEAR or FILTER_BOX (which counts as bilinear for it). Interior outputs blend the two
 * nearest source samples 3:1 in each direction with rounding; the first and last output column
 * (and row) take the nearest source column (row) alone. Sources up to 32768 samples a side, a
 * negative (flipped) height counted by its size. */

enum FilterMode {
    FILTER_NONE = 0,
    FILTER_LINEAR = 1,
    FILTER_BILINEAR = 2,
    FILTER_BOX = 3,
};

/* Scales a plane. Writes nothing for a NULL plane or any other size combination or filter (a
 * source one sample high or wide counts as such, as do equal sizes). */
VELMO_API void SR_ScalePlane(const unsigned char* src, int src_stride, int src_width, int src_height,
                             unsigned char* dst, int dst_stride, int dst_width, int dst_height, FilterMode filtering);

/* Scales an interleaved U,V plane; widths count pairs. Returns -1 when src_uv or dst_uv is NULL,
 * src_width <= 0, src_height == 0, a source side is over 32768, dst_width <= 0, dst_height <= 0,
 * or the scale is not the supported one (a source one pair wide or one row high never is);
 * 0 after scaling. */
VELMO_API int SR_UVScale(const unsigned char* src_uv, int src_stride_uv, int src_width, int src_height,
                         unsigned char* dst_uv, int dst_stride_uv, int dst_width, int dst_height,
                         FilterMode filtering);

/* Scales an I420 image; the chroma planes use the halved sizes, rounded up. Returns -1 for a NULL
 * plane and for the size and scale errors of SR_UVScale, luma or chroma (so a source side of 1 or
 * 2 pixels, one chroma sample, is refused); 0 after scaling all three planes. */
VELMO_API int SR_I420Scale(const unsigned char* src_y, int src_stride_y, const unsigned char* src_u, int src_stride_u,
                           const unsigned char* src_v, int src_stride_v, int src_width, int src_height,
                           unsigned char* dst_y, int dst_stride_y, unsigned char* dst_u, int dst_stride_u,
                           unsigned char* dst_v, int dst_stride_v, int dst_width, int dst_height,
                           FilterMode filtering);

/* Scales an NV12 image; same sizes, refusals and results as SR_I420Scale. */
VELMO_API int SR_NV12Scale(const unsigned char* src_y, int src_stride_y, const unsigned char* src_uv,
                           int src_stride_uv, int src_width, int src_height, unsigned char* dst_y, int dst_stride_y,
                           unsigned char* dst_uv, int dst_stride_uv, int dst_width, int dst_height,
                           FilterMode filtering);

/* The 2x step for one plane, without the checks and the filter reduction of SR_ScalePlane:
 * expects src_width = (dst_width + 1) / 2 and src_height = (dst_height + 1) / 2, positive sizes
 * and non-NULL planes, and writes nothing otherwise. */
VELMO_API void SR_ScalePlaneUp2_Bilinear(int src_width, int src_height, int dst_width, int dst_height, int src_stride,
                                         int dst_stride, const unsigned char* src, unsigned char* dst);

/* The same for an interleaved U,V plane; widths count pairs. */
VELMO_API void SR_ScaleUVBilinearUp2(int src_width, int src_height, int dst_width, int dst_height, int src_stride,
                                     int dst_stride, const unsigned char* src, unsigned char* dst);

/* Building blocks of a general scaler. */

/* The cheapest filter with the same result for these sizes (negative source sizes count by
 * their magnitude): BOX becomes BILINEAR unless shrinking more than 2x both ways; BILINEAR
 * becomes LINEAR when the height is kept, divided by 3 or the source is one row high; LINEAR
 * becomes NONE when the width is kept, divided by 3 or the source is one column wide. */
VELMO_API FilterMode SR_ScaleFilterReduce(int src_width, int src_height, int dst_width, int dst_height,
                                          FilterMode filtering);

/* 16.16 fixed-point quotient (num * 65536) / div, 64-bit intermediate, truncated toward zero;
 * 0 for div == 0. */
VELMO_API int FixedDiv_C(int num, int div);

/* (num * 65536 - 65537) / (div - 1): the step that maps the ends of div outputs onto the ends of
 * num inputs; 0 for div == 1. */
VELMO_API int FixedDiv1_C(int num, int div);

/* Start position (x, y) and step (dx, dy), 16.16 fixed point, of a general scaler from
 * src_width x src_height to dst_width x dst_height with the given filter. A negative src_width
 * mirrors horizontally; a negative src_height enters the vertical step signed. Writes all four
 * values for src_width != 0, src_height != 0, dst_width > 0, dst_height > 0, a known filter and
 * non-NULL pointers, and nothing otherwise, with one exception: bilinear filtering of a negative
 * src_height leaves y and dy as they were (an upsampling step needs a positive height). With
 * bilinear or linear filtering, a source one pixel wide (bilinear: or high) that is upsampled
 * gets step 0 at position 0: every output takes that one column or row. */
VELMO_API void SR_ScaleSlope(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering,
                             int* x, int* y, int* dx, int* dy);

/* ---- Upscaling pass ----
 * The picture velmo_process draws, computed on the CPU for callers without a GPU: 8-bit RGBA in
 * (as the frame velmo_process takes, rows top to bottom), 8-bit RGBA out at dst_width x
 * dst_height, alpha 255. Each call draws the output rows [dst_row_begin, dst_row_end) only and
 * reads the whole source, so callers split a frame into bands across their own threads; the
 * library starts no thread. Sizes are positive; strides are in bytes, at least 4 x width.
 * Returns 0 after drawing, -1 (writing nothing) for a NULL pointer, a size <= 0, a stride too
 * small, or a band outside [0, dst_height] or empty. */

/* The edge-adaptive upscaling pass with unsharp-mask sharpening, optionally after skin-tone
 * smoothing, shaped by the fields of params that shape the picture: sr_level and
 * custom_sharpness, enable_edge_adaptive, enable_fast_sr_smooth, enable_face_protection,
 * sigma_s and sigma_r, read as velmo_init reads them. config_dir and priority are not read. */
VELMO_API int SR_UpscaleRGBA(const unsigned char* src_rgba, int src_stride, int src_width, int src_height,
                             unsigned char* dst_rgba, int dst_stride, int dst_width, int dst_height,
                             int dst_row_begin, int dst_row_end, const velmo_init_params* params);

/* The plain path: the bilinear stretch the copy pass draws when super-resolution is not chosen. */
VELMO_API int SR_StretchRGBA(const unsigned char* src_rgba, int src_stride, int src_width, int src_height,
                             unsigned char* dst_rgba, int dst_stride, int dst_width, int dst_height,
                             int dst_row_begin, int dst_row_end);

/* Portable row kernels, any width >= 0. */
VELMO_API void SR_CopyRow_C(const unsigned char* src, unsigned char* dst, int count);
VELMO_API void SR_RGBAToRGB24Row_C(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width);
VELMO_API void SR_SplitUVRow_C(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width);
VELMO_API void SR_MergeUVRow_C(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv,
                               int width);

} // namespace kx_velmo

extern "C" {

/* NEON row kernels: whole blocks only, width a positive multiple of the block (32 bytes for the
 * copy, 16 pixels or pairs for the others); a trailing partial block is left alone. */
VELMO_API void SR_CopyRow_NEON(const unsigned char* src, unsigned char* dst, int count);
VELMO_API void SR_ARGBToRGB24Row_NEON(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width);
VELMO_API void SR_SplitUVRow_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width);
VELMO_API void SR_MergeUVRow_NEON(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv,
                                  int width);

/* Any width >= 0: whole blocks through the NEON kernel, the rest through a scratch block, so no
 * row is read or written past width. */
VELMO_API void SR_CopyRow_Any_NEON(const unsigned char* src, unsigned char* dst, int count);
VELMO_API void SR_ARGBToRGB24Row_Any_NEON(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width);
VELMO_API void SR_SplitUVRow_Any_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v,
                                      int width);
VELMO_API void SR_MergeUVRow_Any_NEON(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv,
                                      int width);

/* 2x bilinear row kernels: read source rows src_ptr and src_ptr + src_stride, write destination
 * rows dst_ptr and dst_ptr + dst_stride (strides may be 0 or negative). dst_width counts pixels
 * (UV: pairs, each channel filtered on its own).
 *  _C: dst_width even and >= 0; output 2x + k blends source x and x + 1 3:1 (k = 0) or 1:3.
 *  _NEON: the same bytes for dst_width a positive multiple of 16 (UV: 8).
 *  _Any_C, _Any_NEON: any dst_width >= 1; the first and last outputs take the nearest source
 *  element alone. Smaller widths write nothing. */
VELMO_API void SR_ScaleRowUp2_Bilinear_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                         unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                            unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleRowUp2_Bilinear_Any_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                             unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleRowUp2_Bilinear_Any_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                                unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleUVRowUp2_Bilinear_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                           unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleUVRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                              unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleUVRowUp2_Bilinear_Any_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                               unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
VELMO_API void SR_ScaleUVRowUp2_Bilinear_Any_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                                  unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width);
}

#endif /* VELMO_VELMO_CPU_H */
