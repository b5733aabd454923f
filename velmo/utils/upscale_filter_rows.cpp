// The 8-bit linear filter of the CPU passes, one axis at a time: the blend a GPU sampler makes of an
// 8-bit texture, a + ((b - a) * w + 128) >> 8 with a 1/256 weight, first along x, then along y.
#include <cstring>

#include "velmo/utils/linear_blend.h"
#include "velmo/utils/upscale_rows.h"

namespace kx_velmo {

namespace {

inline std::uint32_t load_pixel(const std::uint8_t* p)
{
    std::uint32_t pixel;
    std::memcpy(&pixel, p, 4);
    return pixel;
}

inline void store_pixel(std::uint8_t* p, std::uint32_t pixel) { std::memcpy(p, &pixel, 4); }

} // namespace

void SR_FilterColumnsRow_C(const std::uint8_t* src_row, const ResampleAxis& columns, std::uint8_t* out)
{
    const std::size_t count = columns.tap_first.size();
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t a = load_pixel(src_row + 4 * columns.tap_first[k]);
        const std::uint32_t b = load_pixel(src_row + 4 * columns.tap_second[k]);
        store_pixel(out + 4 * k, blend_pixel(a, b, static_cast<std::uint32_t>(columns.tap_weight[k])));
    }
}

void SR_FilterRowsRow_C(const std::uint8_t* first, const std::uint8_t* second, int weight, std::uint8_t* out,
                        int pixels)
{
    for (int i = 0; i < pixels; ++i)
        store_pixel(out + 4 * i, blend_pixel(load_pixel(first + 4 * i), load_pixel(second + 4 * i),
                                             static_cast<std::uint32_t>(weight)));
}

} // namespace kx_velmo
