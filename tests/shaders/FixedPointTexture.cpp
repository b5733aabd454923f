// The llvmpipe sampling model: the test bed's 8-bit linear filter, plus texel reads and gathers.
#include "shaders/FixedPointTexture.h"

#include <algorithm>
#include <cmath>

#include "support/BilinearReference.h"

namespace velmo_test {

namespace {

// Texel-space position in 1/256 units: its integer part is the lower texel of the pair around it.
long fixed_point_position(float coordinate, int size)
{
    return std::lrint((coordinate * static_cast<float>(size) - 0.5f) * 256.0f);
}

std::array<float, 4> to_unit(const std::array<int, 4>& values)
{
    std::array<float, 4> result{};
    for (int c = 0; c < 4; ++c)
        result[c] = static_cast<float>(values[c]) / 255.0f;
    return result;
}

} // namespace

int FixedPointTexture::texel(int i, int j, int c) const
{
    i = std::clamp(i, 0, _image.width - 1);
    j = std::clamp(j, 0, _image.height - 1);
    return _image.at(i, j)[c];
}

std::array<int, 4> FixedPointTexture::sample_unorm8(float u, float v) const
{
    const Texels8 texels{_image.pixels.data(), _image.width, _image.height, 4};
    std::array<int, 4> result{};
    for (int c = 0; c < 4; ++c)
        result[c] = sample_linear(texels, c, u, v);
    return result;
}

std::array<float, 4> FixedPointTexture::sample(float u, float v) const
{
    return to_unit(sample_unorm8(u, v));
}

std::array<int, 4> FixedPointTexture::gather_unorm8(float u, float v, int c) const
{
    const int i0 = static_cast<int>(fixed_point_position(u, _image.width) >> 8);
    const int j0 = static_cast<int>(fixed_point_position(v, _image.height) >> 8);
    return {texel(i0, j0 + 1, c), texel(i0 + 1, j0 + 1, c), texel(i0 + 1, j0, c), texel(i0, j0, c)};
}

std::array<float, 4> FixedPointTexture::gather(float u, float v, int c) const
{
    return to_unit(gather_unorm8(u, v, c));
}

} // namespace velmo_test
