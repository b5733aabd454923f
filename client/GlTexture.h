// A GL_TEXTURE_2D the tool creates and deletes itself, filled from RGBA8 pictures.
#pragma once

#include <GLES3/gl3.h>

#include "RgbaImage.h"

namespace velmo_upscale {

class GlTexture {
public:
    GlTexture();  // bilinear filtering, clamped edges, no storage yet
    ~GlTexture(); // deletes the name: the tool made it
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

} // namespace velmo_upscale
