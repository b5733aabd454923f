// Output rows of the 8-bit linear filter, made separably from column-filtered source rows, of which
// the last two are kept (consecutive output rows mostly blend the same pair).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "velmo/utils/upscale_plan.h"
#include "velmo/utils/upscale_rows.h"

namespace kx_velmo {

// Source rows by index: row(j) for the rows a call reads, which may be a copy of part of the image.
struct RowSource {
    const std::uint8_t* first_row;
    std::ptrdiff_t stride;
    int first;

    const std::uint8_t* row(int j) const { return first_row + static_cast<std::ptrdiff_t>(j - first) * stride; }
};

class LinearRows {
public:
    LinearRows(const RowSource& source, const ResampleAxis& columns, const ResampleAxis& rows,
               const RowKernels& kernels);

    // Bytes of one filtered row: columns -1 .. width, RGBA.
    int row_bytes() const { return _row_bytes; }

    // Filters output row y (-1 .. height) into out (row_bytes() bytes).
    void filter_row(int y, std::uint8_t* out);

private:
    const std::uint8_t* columns_of(int j, int keep);

    RowSource _source;
    const ResampleAxis& _columns;
    const ResampleAxis& _rows;
    const RowKernels& _kernels;
    int _row_bytes;
    std::vector<std::uint8_t> _cache;
    int _cached[2] = {-1, -1};
};

} // namespace kx_velmo
