// SR_UpscaleRGBA and SR_StretchRGBA: the argument checks, the rows a band reads, and the row loop.
#include "velmo/utils/upscale_rgba.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "velmo/utils/cpu_id.h"
#include "velmo/utils/linear_rows.h"
#include "velmo/utils/skin_smooth.h"
#include "velmo/utils/upscale_plan.h"
#include "velmo/utils/upscale_rows.h"

namespace kx_velmo {

namespace {

// Larger than any texture a GPU takes, and small enough for the exact position arithmetic.
constexpr int kMaxSide = 32768;

bool valid_image(const unsigned char* pixels, int stride, int width, int height)
{
    return pixels && width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           stride >= 4 * width;
}

bool valid_call(const unsigned char* src, int src_stride, int src_width, int src_height, unsigned char* dst,
                int dst_stride, int dst_width, int dst_height, int row_begin, int row_end)
{
    return valid_image(src, src_stride, src_width, src_height) && valid_image(dst, dst_stride, dst_width, dst_height) &&
           row_begin >= 0 && row_begin < row_end && row_end <= dst_height;
}

std::uint8_t* dst_row(unsigned char* dst, int stride, int y) { return dst + static_cast<std::ptrdiff_t>(y) * stride; }

constexpr RowKernels kPortableKernels = {SR_FilterColumnsRow_C, SR_FilterRowsRow_C, SR_UpscaleRow_C};

// SIMD kernels unless cpu_info_ asks for the portable ones.
const RowKernels& choose_row_kernels()
{
    if (SR_TestCpuFlag(CPU_HAS_NEON)) {
        if (const RowKernels* simd = SR_SimdRowKernels())
            return *simd;
    }
    return kPortableKernels;
}

// Everything one band of the upscaling pass reads besides the filtered rows: the source rows (the
// smoothed copy of them when smoothing is on) and their greens, padded for the twelve taps.
class BandSource {
public:
    BandSource(const RgbaView& src, const ResampleAxis& rows, const UpscaleShape& shape, int row_begin, int row_end)
        : _src(src), _rows{src.pixels, src.stride, 0}, _green_stride(static_cast<std::size_t>(src.width) + 4),
          _green(kGreenRows * _green_stride)
    {
        if (shape.smoothing) {
            const int grid_first = std::max(rows.grid[static_cast<std::size_t>(row_begin)] - 2, 0);
            const int grid_last = std::min(rows.grid[static_cast<std::size_t>(row_end - 1)] + 1, src.height - 1);
            const int first = std::min(rows.tap(row_begin - 1).first, grid_first);
            const int last = std::max(rows.tap(row_end).second, grid_last);
            const int count = last - first + 1;
            _smoothed.resize(static_cast<std::size_t>(count) * src.width * 4);
            SR_SmoothSkinRows_C(src, first, count, shape.sigma_s, shape.sigma_r, _smoothed.data());
            _rows = {_smoothed.data(), static_cast<std::ptrdiff_t>(src.width) * 4, first};
        }
    }

    const RowSource& rows() const { return _rows; }

    // Greens of source row j (clamped to the image), index k for texel column k - 2 (clamped).
    // An output row reads four consecutive source rows, so four kept rows serve the whole band.
    const float* green(int j)
    {
        j = std::clamp(j, 0, _src.height - 1);
        const int slot = j % kGreenRows;
        float* out = _green.data() + static_cast<std::size_t>(slot) * _green_stride;
        if (_green_row[slot] != j) {
            const std::uint8_t* row = _rows.row(j);
            for (int k = 0; k < _src.width + 4; ++k)
                out[k] = static_cast<float>(row[4 * std::clamp(k - 2, 0, _src.width - 1) + 1]);
            _green_row[slot] = j;
        }
        return out;
    }

private:
    static constexpr int kGreenRows = 4;

    RgbaView _src;
    RowSource _rows;
    std::vector<std::uint8_t> _smoothed;
    std::size_t _green_stride;
    std::vector<float> _green;
    int _green_row[kGreenRows] = {-1, -1, -1, -1};
};

void upscale_band(const RgbaView& src, unsigned char* dst, int dst_stride, int dst_width, int dst_height,
                  int row_begin, int row_end, const UpscaleShape& shape)
{
    const ResampleAxis columns(src.width, dst_width, -1);
    const ResampleAxis rows(src.height, dst_height, 1);
    BandSource band(src, rows, shape, row_begin, row_end);
    const RowKernels& kernels = choose_row_kernels();
    LinearRows linear(band.rows(), columns, rows, kernels);
    // Filtered rows y - 1, y and y + 1 in turn: row r lives in slot (r + 1) % 3.
    std::vector<std::uint8_t> ring(3 * static_cast<std::size_t>(linear.row_bytes()));
    const auto slot = [&](int r) { return ring.data() + static_cast<std::size_t>((r + 1) % 3) * linear.row_bytes(); };
    linear.filter_row(row_begin - 1, slot(row_begin - 1));
    linear.filter_row(row_begin, slot(row_begin));

    for (int y = row_begin; y < row_end; ++y) {
        linear.filter_row(y + 1, slot(y + 1));
        const int py = rows.grid[static_cast<std::size_t>(y)];
        UpscaleRowArgs args{slot(y - 1) + 4, slot(y) + 4, slot(y + 1) + 4,
                            {band.green(py - 2), band.green(py - 1), band.green(py), band.green(py + 1)},
                            columns.grid.data(), columns.fraction.data(), rows.fraction[static_cast<std::size_t>(y)],
                            dst_row(dst, dst_stride, y)};
        kernels.upscale(args, shape, 0, dst_width);
    }
}

void stretch_band(const RgbaView& src, unsigned char* dst, int dst_stride, int dst_width, int dst_height,
                  int row_begin, int row_end)
{
    const ResampleAxis columns(src.width, dst_width, -1);
    const ResampleAxis rows(src.height, dst_height, 1);
    LinearRows linear({src.pixels, src.stride, 0}, columns, rows, choose_row_kernels());
    std::vector<std::uint8_t> filtered(static_cast<std::size_t>(linear.row_bytes()));
    for (int y = row_begin; y < row_end; ++y) {
        linear.filter_row(y, filtered.data());
        std::uint8_t* out = dst_row(dst, dst_stride, y);
        std::copy(filtered.begin() + 4, filtered.end() - 4, out);
        for (int x = 0; x < dst_width; ++x)
            out[4 * x + 3] = 255;
    }
}

} // namespace

int SR_UpscaleRGBA(const unsigned char* src_rgba, int src_stride, int src_width, int src_height,
                   unsigned char* dst_rgba, int dst_stride, int dst_width, int dst_height, int dst_row_begin,
                   int dst_row_end, const velmo_init_params* params)
{
    if (!params || !valid_call(src_rgba, src_stride, src_width, src_height, dst_rgba, dst_stride, dst_width,
                               dst_height, dst_row_begin, dst_row_end))
        return -1;
    try {
        upscale_band({src_rgba, src_stride, src_width, src_height}, dst_rgba, dst_stride, dst_width, dst_height,
                     dst_row_begin, dst_row_end, UpscaleShape(*params));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 0;
}

int SR_StretchRGBA(const unsigned char* src_rgba, int src_stride, int src_width, int src_height,
                   unsigned char* dst_rgba, int dst_stride, int dst_width, int dst_height, int dst_row_begin,
                   int dst_row_end)
{
    if (!valid_call(src_rgba, src_stride, src_width, src_height, dst_rgba, dst_stride, dst_width, dst_height,
                    dst_row_begin, dst_row_end))
        return -1;
    try {
        stretch_band({src_rgba, src_stride, src_width, src_height}, dst_rgba, dst_stride, dst_width, dst_height,
                     dst_row_begin, dst_row_end);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 0;
}

} // namespace kx_velmo
