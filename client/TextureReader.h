// Reads RGBA8 textures back to memory through a framebuffer of the player's context.
#pragma once

#include <GLES3/gl3.h>

#include "client/RgbaImage.h"

namespace velmo_client {

class TextureReader {
public:
    TextureReader();
    ~TextureReader();
    TextureReader(const TextureReader&) = delete;
    TextureReader& operator=(const TextureReader&) = delete;

    // Fills `image` (resized to width x height) with the texture's level 0, row 0 first. Returns
    // false when GL cannot read the texture as RGBA8 (incomplete framebuffer). The framebuffer
    // binding is kept.
    bool read(GLuint texture, int width, int height, RgbaImage& image);

private:
    GLuint _framebuffer = 0;
};

// The same through a framebuffer made for the call, for a caller that checks GL errors itself:
// false only when the framebuffer is incomplete, and no pending error is consumed.
bool read_texture(GLuint texture, int width, int height, RgbaImage& image);

// The step both share: attaches the texture to `framebuffer` and reads width x height RGBA8
// pixels to `pixels` (an offset while a pixel pack buffer is bound). False when the framebuffer
// is incomplete; the framebuffer binding and the GL error state are left alone.
bool read_pixels_through(GLuint framebuffer, GLuint texture, int width, int height, void* pixels);

} // namespace velmo_client
