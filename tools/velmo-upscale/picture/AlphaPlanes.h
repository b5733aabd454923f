// The transparency of video frames for outputs that keep it. velmo draws colour only, so each
// frame's alpha is resized on its own, bilinear as ffmpeg's scale filter resizes it, and put into
// the picture read back for that frame.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "AvSupport.h"
#include "RgbaImage.h"

namespace velmo_upscale {

class AlphaPlanes {
public:
    // Pictures go out at `out_width` x `out_height`.
    AlphaPlanes(int out_width, int out_height);

    // Resizes and holds the alpha of `frame` (of any size), numbered `index`, until its picture is
    // finished.
    void keep(const RgbaImage& frame, int64_t index);
    // A copy of `pixels` (RGBA at the output size, rows `stride` bytes apart) with the alpha kept
    // for frame `index`, which is let go; valid until the next call.
    const uint8_t* apply(const uint8_t* pixels, int stride, int64_t index);

private:
    int _out_width;
    int _out_height;
    SwsPtr _scaler;
    std::vector<uint8_t> _input_alpha;
    std::map<int64_t, std::vector<uint8_t>> _kept;
    RgbaImage _result;
};

} // namespace velmo_upscale
