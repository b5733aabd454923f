// Texture creation, upload and storage for the tool's own textures.
#include "GlTexture.h"

namespace velmo_upscale {

GlTexture::GlTexture()
{
    glGenTextures(1, &_name);
    glBindTexture(GL_TEXTURE_2D, _name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

GlTexture::~GlTexture()
{
    glDeleteTextures(1, &_name);
}

void GlTexture::allocate(int width, int height)
{
    glBindTexture(GL_TEXTURE_2D, _name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    _width = width;
    _height = height;
}

void GlTexture::upload(const RgbaImage& image)
{
    if (image.width != _width || image.height != _height)
        allocate(image.width, image.height);
    glBindTexture(GL_TEXTURE_2D, _name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE,
                    image.pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    glFinish();
}

} // namespace velmo_upscale
