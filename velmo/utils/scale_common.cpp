// Portable 2x bilinear upsampling row kernels.
#include "velmo/utils/scale_common.h"

namespace {

// One 2x2 block of output from the source elements a, b (first row) and c, d (second row), which
// lie `step` bytes apart within a row.
inline void blend_2x2(const unsigned char* s, const unsigned char* t, unsigned char* d, unsigned char* e,
                      int step)
{
    const int a = s[0];
    const int b = s[step];
    const int c = t[0];
    const int f = t[step];
    d[0] = static_cast<unsigned char>((9 * a + 3 * b + 3 * c + f + 8) >> 4);
    d[step] = static_cast<unsigned char>((3 * a + 9 * b + c + 3 * f + 8) >> 4);
    e[0] = static_cast<unsigned char>((3 * a + b + 9 * c + 3 * f + 8) >> 4);
    e[step] = static_cast<unsigned char>((a + 3 * b + 3 * c + 9 * f + 8) >> 4);
}

} // namespace

extern "C" {

void SR_ScaleRowUp2_Bilinear_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride, unsigned char* dst_ptr,
                               std::ptrdiff_t dst_stride, int dst_width)
{
    const unsigned char* s = src_ptr;
    const unsigned char* t = src_ptr + src_stride;
    unsigned char* d = dst_ptr;
    unsigned char* e = dst_ptr + dst_stride;
    for (int x = 0; x < dst_width / 2; ++x)
        blend_2x2(s + x, t + x, d + 2 * x, e + 2 * x, 1);
}

void SR_ScaleUVRowUp2_Bilinear_C(const unsigned char* src_ptr, std::ptrdiff_t src_stride, unsigned char* dst_ptr,
                                 std::ptrdiff_t dst_stride, int dst_width)
{
    const unsigned char* s = src_ptr;
    const unsigned char* t = src_ptr + src_stride;
    unsigned char* d = dst_ptr;
    unsigned char* e = dst_ptr + dst_stride;
    for (int x = 0; x < dst_width / 2; ++x) {
        for (int channel = 0; channel < 2; ++channel)
            blend_2x2(s + 2 * x + channel, t + 2 * x + channel, d + 4 * x + channel, e + 4 * x + channel, 2);
    }
}
}
