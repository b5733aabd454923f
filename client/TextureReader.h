// Reads RGBA8 textures back to memory through a framebuffer of the tool's own context.
#pragma once

#include <GLES3/gl3.h>

#include "RgbaImage.h"

namespace velmo_upscale {

class TextureReader {
public:
    TextureReader();
    ~TextureReader();
    TextureReader(const TextureReader&) = delete;
    TextureReader& operator=(const TextureReader&) = delete;

    // Fills `image` (resized to width x height) with the texture's level 0, row 0 first. Returns
    // false when GL cannot read the texture as RGBA8 (incomplete framebuffer).
    bool read(GLuint texture, int width, int height, RgbaImage& image);

private:
    GLuint _framebuffer = 0;
};

} // namespace velmo_upscale
