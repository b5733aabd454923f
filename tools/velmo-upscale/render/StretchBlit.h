// One bilinear pass that stretches a texture over another: what a player shows without velmo.
// The tool's comparison picture and the frame benchmark's baseline both draw it.
#pragma once

#include <GLES3/gl3.h>

#include "RgbaImage.h"

namespace velmo_upscale {

class StretchBlit {
public:
    // Compiles the program in the current context; throws ToolError(kExitGpu) when GL refuses it.
    StretchBlit();
    ~StretchBlit();
    StretchBlit(const StretchBlit&) = delete;
    StretchBlit& operator=(const StretchBlit&) = delete;

    // Draws `source` (sampled with its own filtering, bilinear for GlTexture) over the whole of
    // `target`, which must have storage of width x height. Queues the draw; the caller decides
    // when to wait for it.
    void draw(GLuint source, GLuint target, int width, int height);

private:
    GLuint _program = 0;
    GLuint _vertex_array = 0;
    GLuint _framebuffer = 0;
    GLint _source_location = -1;
};

// `source` stretched to width x height and read back; throws ToolError(kExitGpu).
RgbaImage plain_stretch(GLuint source, int width, int height);

} // namespace velmo_upscale
