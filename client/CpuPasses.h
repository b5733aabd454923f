// A frame through velmo's pass plan on the CPU: each pass is velmo's CPU twin of what one velmo
// instance draws (the upscaling pass, or the plain stretch where velmo would only stretch), its
// rows spread over a pool of threads. No GL anywhere.
#pragma once

#include <cstdint>
#include <vector>

#include "client/BandThreads.h"
#include "client/RgbaImage.h"
#include "client/Settings.h"
#include "velmo/velmo_api.h"

namespace velmo_client {

class CpuPasses {
public:
    // The passes that take width x height through `scales` (from the pass plan, each at most 2),
    // with `settings` as velmo_init would take them, sharpening only in the last.
    CpuPasses(const Settings& settings, int width, int height, const std::vector<float>& scales);

    int width() const { return _width; }
    int height() const { return _height; }
    int output_width() const { return _passes.empty() ? _width : _passes.back().output_width; }
    int output_height() const { return _passes.empty() ? _height : _passes.back().output_height; }
    // False when a scale leaves nothing to draw; nothing is drawn then.
    bool valid() const { return _valid; }

    // Draws a frame of width() x height() (RGBA, `src_stride` bytes a row) into `dst`, which holds
    // output_height() rows of `dst_stride` bytes. The passes before the last draw into pictures
    // of their own. False when velmo's CPU pass refused a band (for strides below 4 x width).
    bool draw(const uint8_t* src, int src_stride, uint8_t* dst, int dst_stride, BandThreads& threads);

private:
    struct Pass {
        int width = 0;
        int height = 0;
        int output_width = 0;
        int output_height = 0;
        bool upscales = false; // velmo's upscaling pass; false: its plain stretch
        velmo_init_params params = {};
        RgbaImage result;      // for every pass but the last
    };

    int _width;
    int _height;
    bool _valid = true;
    std::vector<Pass> _passes;
};

} // namespace velmo_client
