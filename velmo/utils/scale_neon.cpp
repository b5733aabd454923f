// NEON 2x bilinear upsampling row kernels.
#include "velmo/utils/scale_neon.h"

#include "velmo/utils/neon.h"

using kx_velmo::prefetch_ahead;

namespace {

// Filters 8 source bytes of two rows (a: elements x, b: elements x + 1, for each row) into 8 "near"
// outputs (3:1 toward a) and 8 "far" outputs (1:3) for each destination row. Horizontal sums
// 3a + b fit 16 bits, so does the vertical 3 near + far (at most 16 x 255), and the rounding shift
// (v + 8) >> 4 gives exactly the portable kernel's bytes.
struct TwoRows {
    uint8x8_t d_near;
    uint8x8_t d_far;
    uint8x8_t e_near;
    uint8x8_t e_far;
};

inline TwoRows filter_block(uint8x8_t s_a, uint8x8_t s_b, uint8x8_t t_a, uint8x8_t t_b)
{
    const uint8x8_t three = vdup_n_u8(3);
    const uint16x8_t three_wide = vdupq_n_u16(3);
    const uint16x8_t s_near = vmlal_u8(vmovl_u8(s_b), s_a, three);
    const uint16x8_t s_far = vmlal_u8(vmovl_u8(s_a), s_b, three);
    const uint16x8_t t_near = vmlal_u8(vmovl_u8(t_b), t_a, three);
    const uint16x8_t t_far = vmlal_u8(vmovl_u8(t_a), t_b, three);
    TwoRows out;
    out.d_near = vrshrn_n_u16(vmlaq_u16(t_near, s_near, three_wide), 4);
    out.d_far = vrshrn_n_u16(vmlaq_u16(t_far, s_far, three_wide), 4);
    out.e_near = vrshrn_n_u16(vmlaq_u16(s_near, t_near, three_wide), 4);
    out.e_far = vrshrn_n_u16(vmlaq_u16(s_far, t_far, three_wide), 4);
    return out;
}

} // namespace

extern "C" {

void SR_ScaleRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride, unsigned char* dst_ptr,
                                  std::ptrdiff_t dst_stride, int dst_width)
{
    const unsigned char* s = src_ptr;
    const unsigned char* t = src_ptr + src_stride;
    unsigned char* d = dst_ptr;
    unsigned char* e = dst_ptr + dst_stride;
    for (int remaining = dst_width & ~15; remaining > 0; remaining -= 16) {
        prefetch_ahead(s);
        prefetch_ahead(t);
        const TwoRows out = filter_block(vld1_u8(s), vld1_u8(s + 1), vld1_u8(t), vld1_u8(t + 1));
        // Outputs alternate near, far: interleave the two halves.
        vst2_u8(d, (uint8x8x2_t{{out.d_near, out.d_far}}));
        vst2_u8(e, (uint8x8x2_t{{out.e_near, out.e_far}}));
        s += 8;
        t += 8;
        d += 16;
        e += 16;
    }
}

void SR_ScaleUVRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride, unsigned char* dst_ptr,
                                    std::ptrdiff_t dst_stride, int dst_width)
{
    const unsigned char* s = src_ptr;
    const unsigned char* t = src_ptr + src_stride;
    unsigned char* d = dst_ptr;
    unsigned char* e = dst_ptr + dst_stride;
    for (int remaining = dst_width & ~7; remaining > 0; remaining -= 8) {
        prefetch_ahead(s);
        prefetch_ahead(t);
        // Byte lanes keep U and V apart: the next pair of the same channel is 2 bytes further.
        const TwoRows out = filter_block(vld1_u8(s), vld1_u8(s + 2), vld1_u8(t), vld1_u8(t + 2));
        // Outputs alternate near pair, far pair: interleave 16-bit (U,V) lanes.
        const uint16x4x2_t d_pairs = vzip_u16(vreinterpret_u16_u8(out.d_near), vreinterpret_u16_u8(out.d_far));
        const uint16x4x2_t e_pairs = vzip_u16(vreinterpret_u16_u8(out.e_near), vreinterpret_u16_u8(out.e_far));
        vst1q_u8(d, vcombine_u8(vreinterpret_u8_u16(d_pairs.val[0]), vreinterpret_u8_u16(d_pairs.val[1])));
        vst1q_u8(e, vcombine_u8(vreinterpret_u8_u16(e_pairs.val[0]), vreinterpret_u8_u16(e_pairs.val[1])));
        s += 8;
        t += 8;
        d += 16;
        e += 16;
    }
}
}
