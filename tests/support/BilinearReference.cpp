// llvmpipe's 8-bit linear filter, step by step, and a stretch built from it.
#include "support/BilinearReference.h"

#include <algorithm>
#include <cmath>

namespace velmo_test {

namespace {

// Texel position in 1/256 units, already moved back by half a texel to the left neighbour's centre.
int fixed_point_coordinate(float normalised, int size)
{
    return static_cast<int>(std::nearbyint(normalised * static_cast<float>(size) * 256.0f)) - 128;
}

int texel(const Texels8& texture, int x, int y, int channel)
{
    x = std::clamp(x, 0, texture.width - 1);
    y = std::clamp(y, 0, texture.height - 1);
    return texture.data[(static_cast<size_t>(y) * texture.width + x) * texture.channels + channel];
}

// llvmpipe's code for the blend depends on the processor it runs on: on x86 it rounds, on 64-bit
// ARM (and the other processors without x86's vector instructions) it truncates.
#if defined(__x86_64__) || defined(__i386__)
constexpr int kBlendRounding = 128;
#else
constexpr int kBlendRounding = 0;
#endif

int blend(int a, int b, int weight)
{
    return a + (((b - a) * weight + kBlendRounding) >> 8);
}

} // namespace

uint8_t sample_linear(const Texels8& texture, int channel, float s, float t)
{
    const int u = fixed_point_coordinate(s, texture.width);
    const int v = fixed_point_coordinate(t, texture.height);
    const int x0 = u >> 8;
    const int y0 = v >> 8;
    const int wu = u & 0xFF;
    const int wv = v & 0xFF;
    const int bottom = blend(texel(texture, x0, y0, channel), texel(texture, x0 + 1, y0, channel), wu);
    const int top = blend(texel(texture, x0, y0 + 1, channel), texel(texture, x0 + 1, y0 + 1, channel), wu);
    return static_cast<uint8_t>(blend(bottom, top, wv));
}

RgbaImage stretch_linear(const RgbaImage& source, int width, int height)
{
    const Texels8 texture{source.pixels.data(), source.width, source.height, 4};
    RgbaImage result(width, height);
    for (int y = 0; y < height; ++y) {
        const float t = (static_cast<float>(y) + 0.5f) / static_cast<float>(height);
        for (int x = 0; x < width; ++x) {
            const float s = (static_cast<float>(x) + 0.5f) / static_cast<float>(width);
            for (int channel = 0; channel < 4; ++channel)
                result.at(x, y)[channel] = sample_linear(texture, channel, s, t);
        }
    }
    return result;
}

} // namespace velmo_test
