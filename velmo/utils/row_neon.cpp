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
    for (int remaining = width & ~15; remaining > 0; remaining -= 16) {
        prefetch_ahead(src_rgba);
        const uint8x16x4_t rgba = vld4q_u8(src_rgba);
        uint8x16x3_t rgb;
        rgb.val[0] = rgba.val[0];
        rgb.val[1] = rgba.val[1];
        rgb.val[2] = rgba.val[2];
        vst3q_u8(dst_rgb24, rgb);
        src_rgba += 64;
        dst_rgb24 += 48;
    }
}

void SR_SplitUVRow_NEON(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width)
{
    for (int remaining = width & ~15; remaining > 0; remaining -= 16) {
        prefetch_ahead(src_uv);
        const uint8x16x2_t uv = vld2q_u8(src_uv);
        vst1q_u8(dst_u, uv.val[0]);
        vst1q_u8(dst_v, uv.val[1]);
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
        uint8x16x2_t uv;
        uv.val[0] = vld1q_u8(src_u);
        uv.val[1] = vld1q_u8(src_v);
        vst2q_u8(dst_uv, uv);
        src_u += 16;
        src_v += 16;
        dst_uv += 32;
    }
}
}
