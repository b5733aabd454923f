// Reference 2x bilinear upsampling from per-pixel weights.
#include "Up2Reference.h"

namespace velmo_test {

namespace {

// Two source indices and weights summing to 4 for one destination index.
struct Taps {
    int near_index;
    int far_index;
    int near_weight;
    int far_weight;
};

// Interior output j blends source (j - 1) / 2 and the next one, 3:1 for odd j and 1:3 for even j.
Taps interior(int j)
{
    const int left = (j - 1) / 2;
    return (j & 1) ? Taps{left, left + 1, 3, 1} : Taps{left, left + 1, 1, 3};
}

// Columns: the first and last outputs take the nearest source column alone.
Taps column_taps(int j, int dst_width)
{
    if (j == 0)
        return {0, 0, 4, 0};
    if (j == dst_width - 1)
        return {(dst_width - 1) / 2, 0, 4, 0};
    return interior(j);
}

// Rows: the first output row and, for an even height, the last take the nearest source row alone;
// an odd height ends on an interior row.
Taps row_taps(int i, int dst_height)
{
    if (i == 0)
        return {0, 0, 4, 0};
    if (i == dst_height - 1 && dst_height % 2 == 0)
        return {(dst_height - 1) / 2, 0, 4, 0};
    return interior(i);
}

} // namespace

std::vector<std::uint8_t> reference_up2(const std::vector<std::uint8_t>& src, int src_width, int dst_width,
                                        int dst_height, int channels)
{
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(dst_width) * dst_height * channels);
    const auto at = [&](int x, int y, int c) {
        return static_cast<int>(src[(static_cast<std::size_t>(y) * src_width + x) * channels + c]);
    };
    for (int i = 0; i < dst_height; ++i) {
        const Taps ty = row_taps(i, dst_height);
        for (int j = 0; j < dst_width; ++j) {
            const Taps tx = column_taps(j, dst_width);
            for (int c = 0; c < channels; ++c) {
                const int sum = ty.near_weight * (tx.near_weight * at(tx.near_index, ty.near_index, c) +
                                                  tx.far_weight * at(tx.far_index, ty.near_index, c)) +
                                ty.far_weight * (tx.near_weight * at(tx.near_index, ty.far_index, c) +
                                                 tx.far_weight * at(tx.far_index, ty.far_index, c));
                dst[(static_cast<std::size_t>(i) * dst_width + j) * channels + c] =
                    static_cast<std::uint8_t>((sum + 8) >> 4);
            }
        }
    }
    return dst;
}

} // namespace velmo_test
