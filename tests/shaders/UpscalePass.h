// Draws the upscaling pass with the library's own GPU classes, uniforms set as the frame pipeline
// sets them, and reads the result back; needs a current OpenGL ES 3 context.
#pragma once

#include "shaders/UpscaleReference.h"
#include "support/PlayerGLTest.h"

namespace velmo_test {

enum class UpscaleVariant {
    kMain,     // gathers, GLSL ES 3.10
    kFallback, // single lookups, behind the "#version 330" header
};

const char* variant_name(UpscaleVariant variant);

// The pass from `input` to an output_width x output_height RGBA8 target.
RgbaImage draw_upscale_pass(UpscaleVariant variant, const RgbaImage& input, int output_width, int output_height,
                            const UpscaleSettings& settings);

} // namespace velmo_test
