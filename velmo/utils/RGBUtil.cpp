// Plane copy, chroma split and merge, NV12 <-> I420 conversion and RGBA to RGB24 on the CPU.
#include "velmo/utils/RGBUtil.h"

#include <climits>
#include <cstddef>
#include <cstdint>

#include "velmo/utils/cpu_id.h"
#include "velmo/utils/row_any.h"
#include "velmo/utils/row_common.h"
#include "velmo/utils/row_neon.h"

namespace kx_velmo {

namespace {

using CopyRowFn = void (*)(const unsigned char*, unsigned char*, int);
using SplitRowFn = void (*)(const unsigned char*, unsigned char*, unsigned char*, int);
using MergeRowFn = void (*)(const unsigned char*, const unsigned char*, unsigned char*, int);

// Start of the last of `rows` rows; rows are addressed in ptrdiff_t so large planes do not overflow.
template <typename T>
T* last_row(T* plane, int stride, int rows)
{
    return plane + static_cast<std::ptrdiff_t>(rows - 1) * stride;
}

// True when `stride` is exactly `elements` × `bytes_per_element`, i.e. the rows are packed.
bool packed(int stride, int elements, int bytes_per_element)
{
    return static_cast<std::int64_t>(elements) * bytes_per_element == stride;
}

// A packed plane is one long row, as long as its element count still fits the kernels' int width.
bool fits_one_row(int width, int height, int bytes_per_element)
{
    return static_cast<std::int64_t>(width) * height * bytes_per_element <= INT_MAX;
}

// Sizes a plane loop can walk: a positive width and a height that is not 0. INT_MIN is refused
// as well, because a flip negates the height and -INT_MIN does not exist.
bool walkable(int width, int height)
{
    return width > 0 && height != 0 && height != INT_MIN;
}

// The NEON kernel when the width is whole blocks, its Any wrapper otherwise; without NEON the
// portable kernel. Chosen once per plane, after coalescing.
template <typename Fn>
Fn choose_kernel(int width, int block, Fn neon, Fn any_neon, Fn portable)
{
    if (!SR_TestCpuFlag(CPU_HAS_NEON))
        return portable;
    return (width & (block - 1)) == 0 ? neon : any_neon;
}

} // namespace

void SR_CopyPlane(const unsigned char* src, int src_stride, unsigned char* dst, int dst_stride, int width, int height)
{
    if (!src || !dst || !walkable(width, height))
        return;
    if (height < 0) {
        height = -height;
        dst = last_row(dst, dst_stride, height);
        dst_stride = -dst_stride;
    }
    if (packed(src_stride, width, 1) && packed(dst_stride, width, 1) && fits_one_row(width, height, 1)) {
        width *= height;
        height = 1;
        src_stride = dst_stride = 0;
    }
    if (src == dst && src_stride == dst_stride)
        return;
    const CopyRowFn copy_row = choose_kernel<CopyRowFn>(width, 32, SR_CopyRow_NEON, SR_CopyRow_Any_NEON, SR_CopyRow_C);
    for (int y = 0; y < height; ++y) {
        copy_row(src, dst, width);
        src += src_stride;
        dst += dst_stride;
    }
}

void SR_SplitUVPlane(const unsigned char* src_uv, int src_stride_uv, unsigned char* dst_u, int dst_stride_u,
                     unsigned char* dst_v, int dst_stride_v, int width, int height)
{
    if (!src_uv || !dst_u || !dst_v || !walkable(width, height))
        return;
    if (height < 0) {
        height = -height;
        dst_u = last_row(dst_u, dst_stride_u, height);
        dst_v = last_row(dst_v, dst_stride_v, height);
        dst_stride_u = -dst_stride_u;
        dst_stride_v = -dst_stride_v;
    }
    if (packed(src_stride_uv, width, 2) && packed(dst_stride_u, width, 1) && packed(dst_stride_v, width, 1) &&
        fits_one_row(width, height, 2)) {
        width *= height;
        height = 1;
        src_stride_uv = dst_stride_u = dst_stride_v = 0;
    }
    const SplitRowFn split_row =
        choose_kernel<SplitRowFn>(width, 16, SR_SplitUVRow_NEON, SR_SplitUVRow_Any_NEON, SR_SplitUVRow_C);
    for (int y = 0; y < height; ++y) {
        split_row(src_uv, dst_u, dst_v, width);
        src_uv += src_stride_uv;
        dst_u += dst_stride_u;
        dst_v += dst_stride_v;
    }
}

void SR_MergeUVPlane(const unsigned char* src_u, int src_stride_u, const unsigned char* src_v, int src_stride_v,
                     unsigned char* dst_uv, int dst_stride_uv, int width, int height)
{
    if (!src_u || !src_v || !dst_uv || !walkable(width, height))
        return;
    if (height < 0) {
        height = -height;
        dst_uv = last_row(dst_uv, dst_stride_uv, height);
        dst_stride_uv = -dst_stride_uv;
    }
    if (packed(src_stride_u, width, 1) && packed(src_stride_v, width, 1) && packed(dst_stride_uv, width, 2) &&
        fits_one_row(width, height, 2)) {
        width *= height;
        height = 1;
        src_stride_u = src_stride_v = dst_stride_uv = 0;
    }
    const MergeRowFn merge_row =
        choose_kernel<MergeRowFn>(width, 16, SR_MergeUVRow_NEON, SR_MergeUVRow_Any_NEON, SR_MergeUVRow_C);
    for (int y = 0; y < height; ++y) {
        merge_row(src_u, src_v, dst_uv, width);
        src_u += src_stride_u;
        src_v += src_stride_v;
        dst_uv += dst_stride_uv;
    }
}

int SR_NV12ToI420(const unsigned char* src_y, int src_stride_y, const unsigned char* src_uv, int src_stride_uv,
                  unsigned char* dst_y, int dst_stride_y, unsigned char* dst_u, int dst_stride_u, unsigned char* dst_v,
                  int dst_stride_v, int width, int height)
{
    // A null dst_y skips the luma plane, and then no luma source is needed; a luma destination
    // without a source is an error like any other missing plane.
    if ((dst_y && !src_y) || !src_uv || !dst_u || !dst_v || !walkable(width, height))
        return -1;
    int halfwidth = (width + 1) >> 1;
    int halfheight = ((height < 0 ? -height : height) + 1) >> 1;
    if (height < 0) {
        height = -height;
        if (src_y)
            src_y = last_row(src_y, src_stride_y, height);
        src_uv = last_row(src_uv, src_stride_uv, halfheight);
        src_stride_y = -src_stride_y;
        src_stride_uv = -src_stride_uv;
    }
    if (packed(src_stride_y, width, 1) && packed(dst_stride_y, width, 1) && fits_one_row(width, height, 1)) {
        width *= height;
        height = 1;
        src_stride_y = dst_stride_y = 0;
    }
    if (packed(src_stride_uv, halfwidth, 2) && packed(dst_stride_u, halfwidth, 1) &&
        packed(dst_stride_v, halfwidth, 1) && fits_one_row(halfwidth, halfheight, 2)) {
        halfwidth *= halfheight;
        halfheight = 1;
        src_stride_uv = dst_stride_u = dst_stride_v = 0;
    }
    if (dst_y)
        SR_CopyPlane(src_y, src_stride_y, dst_y, dst_stride_y, width, height);
    SR_SplitUVPlane(src_uv, src_stride_uv, dst_u, dst_stride_u, dst_v, dst_stride_v, halfwidth, halfheight);
    return 0;
}

int SR_I420ToNV12(const unsigned char* src_y, int src_stride_y, const unsigned char* src_u, int src_stride_u,
                  const unsigned char* src_v, int src_stride_v, unsigned char* dst_y, int dst_stride_y,
                  unsigned char* dst_uv, int dst_stride_uv, int width, int height)
{
    if (!src_y || !src_u || !src_v || !dst_uv || !walkable(width, height))
        return -1;
    const int halfwidth = (width + 1) / 2;
    const int halfheight = ((height < 0 ? -height : height) + 1) / 2;
    if (height < 0) {
        height = -height;
        src_y = last_row(src_y, src_stride_y, height);
        src_u = last_row(src_u, src_stride_u, halfheight);
        src_v = last_row(src_v, src_stride_v, halfheight);
        src_stride_y = -src_stride_y;
        src_stride_u = -src_stride_u;
        src_stride_v = -src_stride_v;
    }
    if (dst_y)
        SR_CopyPlane(src_y, src_stride_y, dst_y, dst_stride_y, width, height);
    SR_MergeUVPlane(src_u, src_stride_u, src_v, src_stride_v, dst_uv, dst_stride_uv, halfwidth, halfheight);
    return 0;
}

int SR_RGBAToRGB24(const unsigned char* src_rgba, int src_stride_rgba, unsigned char* dst_rgb24, int dst_stride_rgb24,
                   int width, int height)
{
    if (!src_rgba || !dst_rgb24 || !walkable(width, height))
        return -1;
    if (height < 0) {
        height = -height;
        src_rgba = last_row(src_rgba, src_stride_rgba, height);
        src_stride_rgba = -src_stride_rgba;
    }
    if (packed(src_stride_rgba, width, 4) && packed(dst_stride_rgb24, width, 3) && fits_one_row(width, height, 4)) {
        width *= height;
        height = 1;
        src_stride_rgba = dst_stride_rgb24 = 0;
    }
    using RgbRowFn = void (*)(const unsigned char*, unsigned char*, int);
    const RgbRowFn rgb_row =
        choose_kernel<RgbRowFn>(width, 16, SR_ARGBToRGB24Row_NEON, SR_ARGBToRGB24Row_Any_NEON, SR_RGBAToRGB24Row_C);
    for (int y = 0; y < height; ++y) {
        rgb_row(src_rgba, dst_rgb24, width);
        src_rgba += src_stride_rgba;
        dst_rgb24 += dst_stride_rgb24;
    }
    return 0;
}

} // namespace kx_velmo
