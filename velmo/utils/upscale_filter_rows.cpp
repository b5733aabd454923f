// The 8-bit linear filter of the CPU passes, one axis at a time: the same blend a GPU sampler makes
// of an 8-bit texture, a + ((b - a) * w + 128) >> 8 with a 1/256 weight, first along x, then along y.
#include "velmo/utils/upscale_rows.h"

namespace kx_velmo {

namespace {

inline std::uint8_t blend(int a, int b, int weight)
{
    return static_cast<std::uint8_t>(a + (((b - a) * weight + 128) >> 8));
}

} // namespace

void SR_FilterColumnsRow_C(const std::uint8_t* src_row, const ResampleAxis& columns, std::uint8_t* out)
{
    for (const LinearTap& tap : columns.taps) {
        const std::uint8_t* a = src_row + 4 * tap.first;
        const std::uint8_t* b = src_row + 4 * tap.second;
        for (int c = 0; c < 4; ++c)
            out[c] = blend(a[c], b[c], tap.weight);
        out += 4;
    }
}

void SR_FilterRowsRow_C(const std::uint8_t* first, const std::uint8_t* second, int weight, std::uint8_t* out,
                        int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = blend(first[i], second[i], weight);
}

} // namespace kx_velmo
