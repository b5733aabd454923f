// The 8-bit linear blend of two RGBA pixels held in 32-bit words, all four channels at once.
#pragma once

#include <cstdint>

namespace kx_velmo {

// Channels at even and odd byte positions.
constexpr std::uint32_t kEvenBytes = 0x00FF00FFu;
constexpr std::uint32_t kOddBytes = 0xFF00FF00u;
constexpr std::uint32_t kHalfInBoth = 0x00800080u;

// Per channel a + ((b - a) * w + 128) >> 8, w in 0..255, computed as (a (256 - w) + b w + 128) >> 8:
// with two channels in the 16-bit halves of a word, each sum is at most 255 * 256 + 128 and stays
// in its half.
inline std::uint32_t blend_pixel(std::uint32_t a, std::uint32_t b, std::uint32_t w)
{
    const std::uint32_t keep = 256 - w;
    const std::uint32_t even = (a & kEvenBytes) * keep + (b & kEvenBytes) * w + kHalfInBoth;
    const std::uint32_t odd = ((a >> 8) & kEvenBytes) * keep + ((b >> 8) & kEvenBytes) * w + kHalfInBoth;
    return ((even >> 8) & kEvenBytes) | (odd & kOddBytes);
}

} // namespace kx_velmo
