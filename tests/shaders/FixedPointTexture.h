// FixedPointTexture: an RGBA8 texture sampled the way Mesa's llvmpipe samples it, for CPU references
// of shader passes (linear filtering, clamp to edge, no mipmaps).
#pragma once

#include <array>

#include "support/PlayerGLTest.h"

namespace velmo_test {

// Linear lookups follow the test bed's model of llvmpipe's 8-bit fixed-point filter (sample_linear);
// gathers pick their four texels from the same fixed-point position, so a gather at a texel corner
// reads the quad around it.
class FixedPointTexture {
public:
    explicit FixedPointTexture(const RgbaImage& image) : _image(image) {}

    int width() const { return _image.width; }
    int height() const { return _image.height; }

    // Channel c of texel (i, j), the indices clamped to the edge; 0..255.
    int texel(int i, int j, int c) const;

    // texture(sampler, (u, v)) of all four channels, as 8-bit values and in [0, 1].
    std::array<int, 4> sample_unorm8(float u, float v) const;
    std::array<float, 4> sample(float u, float v) const;

    // textureGather(sampler, (u, v), c): channel c of the four texels around the point, in the
    // order (i0, j1), (i1, j1), (i1, j0), (i0, j0); as 8-bit values and in [0, 1].
    std::array<int, 4> gather_unorm8(float u, float v, int c) const;
    std::array<float, 4> gather(float u, float v, int c) const;

private:
    RgbaImage _image;
};

} // namespace velmo_test
