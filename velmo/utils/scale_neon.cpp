// NEON 2x bilinear upsampling row kernels.
#include "velmo/utils/scale_neon.h"

#include "velmo/utils/neon.h"

using kx_velmo::prefetch_ahead;

namespace {

// 16-bit sums 3·a + b + 2 ("near", weighted toward a) and a + 3·b + 2 ("far") for 8 neighbouring
// source pairs (a, b) of one row. The +2 of both rows' sums adds up to the +8 that rounds the
// vertical blend, so that blend needs only a shift.
struct Horizontal {
    uint16x8_t near_sum;
    uint16x8_t far_sum;
};

inline Horizontal horizontal(uint8x8_t a, uint8x8_t b)
{
    // Widening by interleaving with zero bytes costs the same on ARM as two widening moves and
    // translates into far fewer instructions through SIMDe.
    const uint8x16_t ab = vcombine_u8(a, b);
    const uint8x16_t zero = vdupq_n_u8(0);
    const uint16x8_t a_wide = vreinterpretq_u16_u8(vzip1q_u8(ab, zero));
    const uint16x8_t b_wide = vreinterpretq_u16_u8(vzip2q_u8(ab, zero));
    const uint16x8_t base = vaddq_u16(vaddq_u16(a_wide, b_wide), vdupq_n_u16(2));
    return {vaddq_u16(base, vshlq_n_u16(a_wide, 1)), vaddq_u16(base, vshlq_n_u16(b_wide, 1))};
}

// (3·x + y) >> 4 and (x + 3·y) >> 4 for the horizontal sums x of the first and y of the second
// source row: the outputs of the first and the second destination row. At most 16 × 255 + 8,
// so 16 bits suffice, and the results are exactly the portable kernel's bytes.
struct Vertical {
    uint16x8_t first;
    uint16x8_t second;
};

inline Vertical vertical(uint16x8_t x, uint16x8_t y)
{
    const uint16x8_t sum = vaddq_u16(x, y);
    return {vshrq_n_u16(vaddq_u16(sum, vshlq_n_u16(x, 1)), 4), vshrq_n_u16(vaddq_u16(sum, vshlq_n_u16(y, 1)), 4)};
}

// The outputs of both destination rows for source elements a (x) and b (x + 1) of rows s and t.
struct Block {
    uint16x8_t d_near;
    uint16x8_t d_far;
    uint16x8_t e_near;
    uint16x8_t e_far;
};

inline Block filter_block(uint8x8_t s_a, uint8x8_t s_b, uint8x8_t t_a, uint8x8_t t_b)
{
    const Horizontal s = horizontal(s_a, s_b);
    const Horizontal t = horizontal(t_a, t_b);
    const Vertical near_column = vertical(s.near_sum, t.near_sum);
    const Vertical far_column = vertical(s.far_sum, t.far_sum);
    return {near_column.first, far_column.first, near_column.second, far_column.second};
}

// Plane outputs alternate near, far: with both below 256, lane x of near | far << 8 holds the
// bytes of outputs 2x and 2x + 1.
inline uint8x16_t interleave_pixels(uint16x8_t near_values, uint16x8_t far_values)
{
    return vreinterpretq_u8_u16(vorrq_u16(near_values, vshlq_n_u16(far_values, 8)));
}

// UV outputs alternate near pair, far pair: gather the low bytes as [n0 n1 n2 n3 | f0 f1 f2 f3]
// (16-bit U,V pairs), then interleave the two halves.
inline uint8x16_t interleave_pairs(uint16x8_t near_values, uint16x8_t far_values)
{
    const uint16x8_t halves =
        vreinterpretq_u16_u8(vuzp1q_u8(vreinterpretq_u8_u16(near_values), vreinterpretq_u8_u16(far_values)));
    return vreinterpretq_u8_u16(vzip1q_u16(halves, vextq_u16(halves, halves, 4)));
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
        const Block out = filter_block(vld1_u8(s), vld1_u8(s + 1), vld1_u8(t), vld1_u8(t + 1));
        vst1q_u8(d, interleave_pixels(out.d_near, out.d_far));
        vst1q_u8(e, interleave_pixels(out.e_near, out.e_far));
        s += 8;
        t += 8;
        d += 16;
        e += 16;
    }
}

void SR_ScaleUVRowUp2_Bilinear_NEON(const unsigned char* src_ptr, std::ptrdiff_t src_stride,
                                    unsigned char* dst_ptr, std::ptrdiff_t dst_stride, int dst_width)
{
    const unsigned char* s = src_ptr;
    const unsigned char* t = src_ptr + src_stride;
    unsigned char* d = dst_ptr;
    unsigned char* e = dst_ptr + dst_stride;
    for (int remaining = dst_width & ~7; remaining > 0; remaining -= 8) {
        prefetch_ahead(s);
        prefetch_ahead(t);
        // Byte lanes keep U and V apart: the next pair of the same channel is 2 bytes further.
        const Block out = filter_block(vld1_u8(s), vld1_u8(s + 2), vld1_u8(t), vld1_u8(t + 2));
        vst1q_u8(d, interleave_pairs(out.d_near, out.d_far));
        vst1q_u8(e, interleave_pairs(out.e_near, out.e_far));
        s += 8;
        t += 8;
        d += 16;
        e += 16;
    }
}
}
