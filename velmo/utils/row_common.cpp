// Portable row kernels for plane copy, chroma split/merge and RGBA to RGB24.
#include "velmo/utils/row_common.h"

#include <cstring>

namespace kx_velmo {

void SR_CopyRow_C(const unsigned char* src, unsigned char* dst, int count)
{
    if (count > 0)
        std::memcpy(dst, src, static_cast<std::size_t>(count));
}

void SR_RGBAToRGB24Row_C(const unsigned char* src_rgba, unsigned char* dst_rgb24, int width)
{
    for (int x = 0; x < width; ++x) {
        dst_rgb24[0] = src_rgba[0];
        dst_rgb24[1] = src_rgba[1];
        dst_rgb24[2] = src_rgba[2];
        src_rgba += 4;
        dst_rgb24 += 3;
    }
}

void SR_SplitUVRow_C(const unsigned char* src_uv, unsigned char* dst_u, unsigned char* dst_v, int width)
{
    int x = 0;
    for (; x < width - 1; x += 2) {
        dst_u[x] = src_uv[0];
        dst_v[x] = src_uv[1];
        dst_u[x + 1] = src_uv[2];
        dst_v[x + 1] = src_uv[3];
        src_uv += 4;
    }
    if (x < width) {
        dst_u[x] = src_uv[0];
        dst_v[x] = src_uv[1];
    }
}

void SR_MergeUVRow_C(const unsigned char* src_u, const unsigned char* src_v, unsigned char* dst_uv, int width)
{
    int x = 0;
    for (; x < width - 1; x += 2) {
        dst_uv[0] = src_u[x];
        dst_uv[1] = src_v[x];
        dst_uv[2] = src_u[x + 1];
        dst_uv[3] = src_v[x + 1];
        dst_uv += 4;
    }
    if (x < width) {
        dst_uv[0] = src_u[x];
        dst_uv[1] = src_v[x];
    }
}

} // namespace kx_velmo
