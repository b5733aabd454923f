// Texture creation, upload and storage for the player's own textures.
#include "client/GlTexture.h"

namespace velmo_client {
namespace {

void set_sampling()
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

} // namespace

GLuint create_texture(const RgbaImage& image)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.pixels.empty() ? nullptr : image.pixels.data());
    set_sampling();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return texture;
}

GlTexture::GlTexture()
{
    glGenTextures(1, &_name);
    glBindTexture(GL_TEXTURE_2D, _name);
    set_sampling();
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

} // namespace velmo_client
