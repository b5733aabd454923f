// Test planes that end (or start) at an unreadable page and keep guard bytes around every row, so a
// routine that reads or writes past the width of a row is caught.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace velmo_test {

// Which end of a plane touches an inaccessible page.
enum class GuardedEnd { after, before };

// `rows` rows of `row_bytes` bytes, `stride` bytes apart (|stride| >= row_bytes; a negative stride
// stores the rows bottom-up), preceded by `lead` spare bytes. Inaccessible pages lie on both sides.
// By default the row that lies last in memory ends exactly where one begins, so reading one byte
// past it faults (without a sanitizer too, and under qemu); with GuardedEnd::before the `lead`
// bytes start right after the page in front, so with no lead reading one byte before the first
// row in memory faults. Every byte is filled at random on construction; bytes outside the rows
// serve as guards and must keep that value.
class GuardedPlane {
public:
    GuardedPlane(int row_bytes, int rows, int stride, int lead, std::mt19937& rng,
                 GuardedEnd flush = GuardedEnd::after);
    ~GuardedPlane();
    GuardedPlane(const GuardedPlane&) = delete;
    GuardedPlane& operator=(const GuardedPlane&) = delete;

    // Row 0 and the stride, as a routine takes them.
    unsigned char* data() { return row(0); }
    int stride() const { return _stride; }
    int row_bytes() const { return _row_bytes; }
    int rows() const { return _rows; }
    unsigned char* row(int y);
    const unsigned char* row(int y) const;

    // The rows' bytes, packed in image order.
    std::vector<std::uint8_t> packed() const;
    // Overwrites the rows with packed bytes; they become part of the initial state.
    void set_packed(const std::vector<std::uint8_t>& bytes);
    // No byte outside the rows changed.
    bool guards_intact() const;
    // No byte at all changed.
    bool untouched() const;

private:
    std::size_t row_offset(int y) const;

    int _row_bytes;
    int _rows;
    int _stride;
    int _lead;
    unsigned char* _mapping;
    std::size_t _mapping_size;
    unsigned char* _start;
    std::size_t _span;
    std::vector<std::uint8_t> _initial;
};

// Sets cpu_info_ for the life of the object: CPU_INITIALIZED alone forces the portable kernels,
// all bits select NEON. The previous value is restored afterwards.
class ForcedKernels {
public:
    explicit ForcedKernels(int cpu_info);
    ~ForcedKernels();
    ForcedKernels(const ForcedKernels&) = delete;
    ForcedKernels& operator=(const ForcedKernels&) = delete;

private:
    int _saved;
};

constexpr int PORTABLE_KERNELS = 0x1;
constexpr int NEON_KERNELS = 0x7;

} // namespace velmo_test
