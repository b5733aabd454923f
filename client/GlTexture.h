// GL_TEXTURE_2D textures of the player's context filled from RGBA8 pictures: one the caller owns
// by name, and one that deletes itself.
#pragma once

#include <GLES3/gl3.h>

#include "client/RgbaImage.h"

namespace velmo_client {

// A new RGBA8 texture holding the image (no content when its pixels are empty), bilinear
// filtering, clamped edges; the caller deletes it. The 2D binding of the active unit is kept.
GLuint create_texture(const RgbaImage& image);

class GlTexture {
public:
    GlTexture();  // bilinear filtering, clamped edges, no storage yet
    ~GlTexture(); // deletes the name: it was made here
    GlTexture(const GlTexture&) = delete;
    GlTexture& operator=(const GlTexture&) = delete;

    GLuint name() const { return _name; }
    int width() const { return _width; }
    int height() const { return _height; }

    // Replaces the content, reallocating only when the size changes, and waits until GL has it:
    // another context of the share group (velmo's) samples it next, and GL only promises that
    // context sees finished changes.
    void upload(const RgbaImage& image);
    // Storage of the given size with undefined content, for drawing into.
    void allocate(int width, int height);

private:
    GLuint _name = 0;
    int _width = 0;
    int _height = 0;
};

} // namespace velmo_client
