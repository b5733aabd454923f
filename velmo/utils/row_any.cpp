// Any-width wrappers around the NEON row kernels.
#include "velmo/utils/row_any.h"

#include <cstring>

#include "velmo/utils/row_neon.h"
#include "velmo/utils/scale_common.h"
#include "velmo/utils/scale_neon.h"

namespace {

// The scratch area is made of sections of this size, each large enough for one block of any kernel.
constexpr int SECTION = 128;

using ScaleRowFn = void (*)(const unsigned char*, std::ptrdiff_t, unsigned char*, std::ptrdiff_t, int);

// `channels` bytes per element: 1 for plane pixels, 2 for U,V pairs. `block_mask` is the kernel's
// block size minus one; 0 means no kernel and the portable one does all the work.
void scale_row_up2_any(const unsigned char* src_ptr, std::ptrdiff_t src_stride, unsigned char* dst_ptr,
                       std::ptrdiff_t dst_stride, int dst_width, int channels, ScaleRowFn kernel, int block_mask,
                       ScaleRowFn portable)
{
    if (dst_width < 1)
        return;
    const unsigned char* sa = src_ptr;
    const unsigned char* sb = src_ptr + src_stride;
    unsigned char* da = dst_ptr;
    unsigned char* db = dst_ptr + dst_stride;

    const int work = (dst_width - 1) & ~1;
    const int n = block_mask ? (work & ~block_mask) : work;
    const int r = work - n;

    for (int c = 0; c < channels; ++c) {
        da[c] = static_cast<unsigned char>((3 * sa[c] + sb[c] + 2) >> 2);
        db[c] = static_cast<unsigned char>((sa[c] + 3 * sb[c] + 2) >> 2);
    }
    if (work > 0) {
        if (n != 0)
            kernel(src_ptr, src_stride, dst_ptr + channels, dst_stride, n);
        portable(src_ptr + (n / 2) * channels, src_stride, dst_ptr + (n + 1) * channels, dst_stride, r);
    }
    const std::ptrdiff_t last_src = static_cast<std::ptrdiff_t>((dst_width - 1) / 2) * channels;
    const std::ptrdiff_t last_dst = static_cast<std::ptrdiff_t>(dst_width - 1) * channels;
    for (int c = 0; c < channels; ++c) {
        da[last_dst + c] = static_cast<unsigned char>((3 * sa[last_src + c] + sb[last_src + c] + 2) >> 2);
        db[last_dst + c] = static_cast<unsigned char>((sa[last_src + c] + 3 * sb[last_src + c] + 2) >> 2);
    }
}

} // namespace

extern "C" {

void SR_CopyRow_Any_NEON(const unsigned char* src, unsigned char* dst, int count)
{
    if (count <= 0)
        return;
    const int n = count & ~31;
    const int r = count & 31;
    if (n > 0)
        SR_CopyRow_NEON(src, dst, n);
    if (r == 0)
        return;
    alignas(16) unsigned char scratch[SECTION * 2];
    std::memset(scratch, 0, SECTION);
    std::memcpy(scratch, src + n, static_cast<std::size_t>(r));
    SR_CopyRow_NEON(scratch, scratch + SECTION, 32);
    std::memcpy(dst + n, scratch + SECTION, static_cast<std::size_t>(r));
}

void SR_ARGBToRGB24Row_Any_NEON(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width)
{
    if (width <= 0)
        return;
    const int n = width & ~15;
    const int r = width & 15;
    if (n > 0)
        SR_ARGBToRGB24Row_NEON(src_rgba, dst_rgb24, n);
    if (r == 0)
        return;
    alignas(16) unsigned char scratch[SECTION * 2];
    std::memset(scratch, 0, SECTION);
    std::memcpy(scratch, src_rgba + static_cast<std::ptrdiff_t>(n) * 4, static_cast<std::size_t>(r) * 4);
    SR_ARGBToRGB24Row_NEON(scratch, scratch + SECTION, 16);
    std::memcpy(dst_rgb24 + static_cast<std::ptrdiff_t>(n) * 3, scratch + SECTION, static_cast<std::size_t>(r) * 3);
}

void SR_SplitUVRow_Any_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width)
{
    if (width <= 0)
        return;
    const int n = width & ~15;
    const int r = width & 15;
    if (n > 0)
        SR_SplitUVRow_NEON(src_uv, dst_u, dst_v, n);
    if (r == 0)
        return;
    alignas(16) unsigned char scratch[SECTION * 3];
    std::memset(scratch, 0, SECTION);
    std::memcpy(scratch, src_uv + static_cast<std::ptrdiff_t>(n) * 2, static_cast<std::size_t>(r) * 2);
    SR_SplitUVRow_NEON(scratch, scratch + SECTION, scratch + 2 * SECTION, 16);
    std::memcpy(dst_u + n, scratch + SECTION, static_cast<std::size_t>(r));
    std::memcpy(dst_v + n, scratch + 2 * SECTION, static_cast<std::size_t>(r));
}

void SR_MergeUVRow_Any_NEON(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv, int width)
{
    if (width <= 0)
        return;
    const int n = width & ~15;
    const int r = width & 15;
    if (n > 0)
        SR_MergeUVRow_NEON(src_u, src_v, dst_uv, n);
    if (r == 0)
        return;
    alignas(16) unsigned char scratch[SECTION * 3];
    std::memset(scratch, 0, SECTION * 2);
    std::memcpy(scratch, src_u + n, static_cast<std::size_t>(r));
    std::memcpy(scratch + SECTION, src_v + n, static_cast<std::size_t>(r));
    SR_MergeUVRow_NEON(scratch, scratch + SECTION, scratch + 2 * SECTION, 16);
    std::memcpy(dst_uv + static_cast<std::ptrdiff_t>(n) * 2, scratch + 2 * SECTION, static_cast<std::size_t>(r) * 2);
}

void SR_ScaleRowUp2_Bilinear_Any_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride, unsigned char* dst_ptr,
                                   std::ptrdiff_t dst_stride, int dst_width)
{
    scale_row_up2_any(src_ptr, src_stride, dst_ptr, dst_stride, dst_width, 1, SR_ScaleRowUp2_Bilinear_C, 0,
                      SR_ScaleRowUp2_Bilinear_C);
}

void SR_ScaleRowUp2_Bilinear_Any_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                      unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width)
{
    scale_row_up2_any(src_ptr, src_stride, dst_ptr, dst_stride, dst_width, 1, SR_ScaleRowUp2_Bilinear_NEON, 15,
                      SR_ScaleRowUp2_Bilinear_C);
}

void SR_ScaleUVRowUp2_Bilinear_Any_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                     unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width)
{
    scale_row_up2_any(src_ptr, src_stride, dst_ptr, dst_stride, dst_width, 2, SR_ScaleUVRowUp2_Bilinear_C, 0,
                      SR_ScaleUVRowUp2_Bilinear_C);
}

void SR_ScaleUVRowUp2_Bilinear_Any_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                        unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width)
{
    scale_row_up2_any(src_ptr, src_stride, dst_ptr, dst_stride, dst_width, 2, SR_ScaleUVRowUp2_Bilinear_NEON, 7,
                      SR_ScaleUVRowUp2_Bilinear_C);
}
}
