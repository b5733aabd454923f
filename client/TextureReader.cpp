// Texture read-back; the texture is attached anew on every read because another context may
// have drawn into it since, and re-attaching is what makes that content visible here.
#include "client/TextureReader.h"

namespace velmo_client {
namespace {

// Reads through `framebuffer` into a picture of its own size; false when it is incomplete.
bool read_through(GLuint framebuffer, GLuint texture, int width, int height, RgbaImage& image)
{
    if (image.width != width || image.height != height)
        image = RgbaImage(width, height);
    return read_pixels_through(framebuffer, texture, width, height, image.pixels.data());
}

} // namespace

bool read_pixels_through(GLuint framebuffer, GLuint texture, int width, int height, void* pixels)
{
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete) {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
    return complete;
}

TextureReader::TextureReader()
{
    glGenFramebuffers(1, &_framebuffer);
}

TextureReader::~TextureReader()
{
    glDeleteFramebuffers(1, &_framebuffer);
}

bool TextureReader::read(GLuint texture, int width, int height, RgbaImage& image)
{
    return read_through(_framebuffer, texture, width, height, image) && glGetError() == GL_NO_ERROR;
}

bool read_texture(GLuint texture, int width, int height, RgbaImage& image)
{
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    bool complete = read_through(framebuffer, texture, width, height, image);
    glDeleteFramebuffers(1, &framebuffer);
    return complete;
}

} // namespace velmo_client
