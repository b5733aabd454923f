// NEON row kernels for plane copy, chroma split/merge and RGBA to RGB24.
#include "velmo/utils/row_neon.h"

#include "velmo/utils/neon.h"

using kx_velmo::prefetch_ahead;

extern "C" {

void SR_CopyRow_NEON(const unsigned char* src, unsigned char* dst, int count)
{
    for (int remaining = count & ~31; remaining > 0; remaining -= 32) {
        prefetch_ahead(src);
        const uint8x16_t low = vld1q_u8(src);
        const uint8x16_t high = vld1q_u8(src + 16);
        vst1q_u8(dst, low);
        vst1q_u8(dst + 16, high);
        src += 32;
        dst += 32;
    }
}

void SR_ARGBToRGB24Row_NEON(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width)
{
    // 16 pixels in four registers become 48 bytes in three: each output register gathers its bytes
    // from two neighbouring input registers through a two-register table lookup.
    static const uint8_t gather[3][16] = {
        {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20},
        {5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25},
        {10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25, 26, 28, 29, 30},
    };
    const uint8x16_t gather0 = vld1q_u8(gather[0]);
    const uint8x16_t gather1 = vld1q_u8(gather[1]);
    const uint8x16_t gather2 = vld1q_u8(gather[2]);
    for (int remaining = width & ~15; remaining > 0; remaining -= 16) {
        prefetch_ahead(src_rgba);
        uint8x16x2_t first;
        first.val[0] = vld1q_u8(src_rgba);
        first.val[1] = vld1q_u8(src_rgba + 16);
        uint8x16x2_t second;
        second.val[0] = first.val[1];
        second.val[1] = vld1q_u8(src_rgba + 32);
        uint8x16x2_t third;
        third.val[0] = second.val[1];
        third.val[1] = vld1q_u8(src_rgba + 48);
        vst1q_u8(dst_rgb24, vqtbl2q_u8(first, gather0));
        vst1q_u8(dst_rgb24 + 16, vqtbl2q_u8(second, gather1));
        vst1q_u8(dst_rgb24 + 32, vqtbl2q_u8(third, gather2));
        src_rgba += 64;
        dst_rgb24 += 48;
    }
}

void SR_SplitUVRow_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width)
{
    for (int remaining = width & ~15; remaining > 0; remaining -= 16) {
        prefetch_ahead(src_uv);
        const uint8x16_t low = vld1q_u8(src_uv);
        const uint8x16_t high = vld1q_u8(src_uv + 16);
        vst1q_u8(dst_u, vuzp1q_u8(low, high));
        vst1q_u8(dst_v, vuzp2q_u8(low, high));
        src_uv += 32;
        dst_u += 16;
        dst_v += 16;
    }
}

void SR_MergeUVRow_NEON(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv, int width)
{
    for (int remaining = width & ~15; remaining > 0; remaining -= 16) {
        prefetch_ahead(src_u);
        prefetch_ahead(src_v);
        const uint8x16_t u = vld1q_u8(src_u);
        const uint8x16_t v = vld1q_u8(src_v);
        vst1q_u8(dst_uv, vzip1q_u8(u, v));
        vst1q_u8(dst_uv + 16, vzip2q_u8(u, v));
        src_u += 16;
        src_v += 16;
        dst_uv += 32;
    }
}
}
