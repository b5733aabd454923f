// Separable 8-bit linear filtering of RGBA rows with two column-filtered source rows kept.
#include "velmo/utils/linear_rows.h"


namespace kx_velmo {

LinearRows::LinearRows(const RowSource& source, const ResampleAxis& columns, const ResampleAxis& rows,
                       const RowKernels& kernels)
    : _source(source), _columns(columns), _rows(rows), _kernels(kernels), _row_bytes((columns.out + 2) * 4),
      _cache(2 * static_cast<std::size_t>(_row_bytes))
{
}

// Source row j filtered along x, computed unless one of the two kept rows holds it; the kept row
// of index `keep` is not replaced.
const std::uint8_t* LinearRows::columns_of(int j, int keep)
{
    for (int slot = 0; slot < 2; ++slot)
        if (_cached[slot] == j)
            return _cache.data() + slot * static_cast<std::size_t>(_row_bytes);
    const int slot = _cached[0] == keep ? 1 : 0;
    std::uint8_t* out = _cache.data() + slot * static_cast<std::size_t>(_row_bytes);
    _kernels.filter_columns(_source.row(j), _columns, out);
    _cached[slot] = j;
    return out;
}

void LinearRows::filter_row(int y, std::uint8_t* out)
{
    const LinearTap tap = _rows.tap(y);
    const std::uint8_t* first = columns_of(tap.first, tap.second);
    const std::uint8_t* second = columns_of(tap.second, tap.first);
    _kernels.filter_rows(first, second, tap.weight, out, _row_bytes / 4);
}

} // namespace kx_velmo
