// CPU model of llvmpipe's linear filtering of 8-bit textures, for exact references of sampling passes.
#pragma once

#include <cstdint>

#include "support/PlayerGLTest.h"

namespace velmo_test {

// An 8-bit texture in memory: rows bottom to top as GL stores them, `channels` bytes per texel.
struct Texels8 {
    const uint8_t* data;
    int width;
    int height;
    int channels;
};

// One channel of a GL_LINEAR, clamp-to-edge lookup at normalised (s, t), as llvmpipe computes it:
// the coordinate becomes fixed point with 8 fractional bits (s x size x 256 in float, rounded to
// nearest even, less half a texel), and the four texels are blended with those 8-bit weights,
// first along s, then along t: a + ((b - a) x w + r) >> 8, where r is 128 on x86 (rounded) and 0
// elsewhere (truncated), since llvmpipe's code for the blend differs between processors.
// A plain float bilinear filter differs from this by several 1/255 at sharp edges.
uint8_t sample_linear(const Texels8& texture, int channel, float s, float t);

// The image a full-screen quad with identity matrices draws at width x height from `source`:
// pixel (x, y) samples at ((x + 0.5) / width, (y + 0.5) / height).
RgbaImage stretch_linear(const RgbaImage& source, int width, int height);

} // namespace velmo_test
