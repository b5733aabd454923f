// Test planes that end at an unreadable page and keep guard bytes around every row.
#include "GuardedPlane.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "velmo/utils/cpu_id.h"

namespace velmo_test {

GuardedPlane::GuardedPlane(int row_bytes, int rows, int stride, int lead, std::mt19937& rng, GuardedEnd flush)
    : _row_bytes(row_bytes)
    , _rows(rows)
    , _stride(stride)
    , _lead(lead)
{
    const std::size_t step = static_cast<std::size_t>(std::abs(stride));
    if (row_bytes < 0 || rows < 0 || lead < 0 || (rows > 1 && step < static_cast<std::size_t>(row_bytes)))
        throw std::invalid_argument("GuardedPlane: inconsistent layout");
    _span = static_cast<std::size_t>(lead) + (rows > 0 ? (rows - 1) * step + static_cast<std::size_t>(row_bytes) : 0);
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t readable = (_span + page - 1) / page * page;
    _mapping_size = page + readable + page;
    void* mapping = mmap(nullptr, _mapping_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        throw std::runtime_error("GuardedPlane: mmap failed");
    _mapping = static_cast<unsigned char*>(mapping);
    if (mprotect(_mapping, page, PROT_NONE) != 0 || mprotect(_mapping + page + readable, page, PROT_NONE) != 0) {
        munmap(_mapping, _mapping_size);
        throw std::runtime_error("GuardedPlane: mprotect failed");
    }
    _start = flush == GuardedEnd::after ? _mapping + page + readable - _span : _mapping + page;
    std::uniform_int_distribution<int> byte(0, 255);
    _initial.resize(_span);
    for (auto& value : _initial)
        value = static_cast<std::uint8_t>(byte(rng));
    if (_span)
        std::memcpy(_start, _initial.data(), _span);
}

GuardedPlane::~GuardedPlane()
{
    munmap(_mapping, _mapping_size);
}

std::size_t GuardedPlane::row_offset(int y) const
{
    if (_rows == 0)
        return static_cast<std::size_t>(_lead);
    const int in_memory = _stride >= 0 ? y : _rows - 1 - y;
    return static_cast<std::size_t>(_lead) + static_cast<std::size_t>(in_memory) * static_cast<std::size_t>(std::abs(_stride));
}

unsigned char* GuardedPlane::row(int y)
{
    return _start + row_offset(y);
}

const unsigned char* GuardedPlane::row(int y) const
{
    return _start + row_offset(y);
}

std::vector<std::uint8_t> GuardedPlane::packed() const
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(_row_bytes) * static_cast<std::size_t>(_rows));
    for (int y = 0; y < _rows; ++y)
        bytes.insert(bytes.end(), row(y), row(y) + _row_bytes);
    return bytes;
}

void GuardedPlane::set_packed(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() != static_cast<std::size_t>(_row_bytes) * static_cast<std::size_t>(_rows))
        throw std::invalid_argument("GuardedPlane: wrong number of bytes");
    if (bytes.empty())
        return;
    for (int y = 0; y < _rows; ++y) {
        std::memcpy(row(y), bytes.data() + static_cast<std::size_t>(y) * _row_bytes, static_cast<std::size_t>(_row_bytes));
        std::memcpy(_initial.data() + row_offset(y), row(y), static_cast<std::size_t>(_row_bytes));
    }
}

bool GuardedPlane::guards_intact() const
{
    std::vector<bool> in_row(_span, false);
    for (int y = 0; y < _rows; ++y) {
        for (int x = 0; x < _row_bytes; ++x)
            in_row[row_offset(y) + static_cast<std::size_t>(x)] = true;
    }
    for (std::size_t i = 0; i < _span; ++i) {
        if (!in_row[i] && _start[i] != _initial[i])
            return false;
    }
    return true;
}

bool GuardedPlane::untouched() const
{
    return _span == 0 || std::memcmp(_start, _initial.data(), _span) == 0;
}

ForcedKernels::ForcedKernels(int cpu_info)
    : _saved(kx_velmo::cpu_info_)
{
    kx_velmo::cpu_info_ = cpu_info;
}

ForcedKernels::~ForcedKernels()
{
    kx_velmo::cpu_info_ = _saved;
}

} // namespace velmo_test
