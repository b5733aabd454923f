// GPUCanvasParam: a canvas's viewport, clear colour, borrowed framebuffer and target pixel format.
#pragma once

#include <cstdint>

#include "grf/GRFExport.h"

namespace GRF {

// A plain record, copied by value. `width` and `height` size both the viewport and the target
// texture; the three GL enums describe the target texture's level 0.
class GRF_EXPORT GPUCanvasParam {
public:
    // All zero, opaque white clear colour, framebuffer 0, GL_RGBA / GL_RGBA / GL_UNSIGNED_BYTE.
    GPUCanvasParam();

    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    float clear_color[4];
    // Drawn into when the canvas has no target texture of its own.
    uint32_t fbo_id;
    int32_t internal_format;
    int32_t format;
    int32_t type;
};

} // namespace GRF
