// Texture read-back; the texture is attached anew on every read because another context may
// have drawn into it since, and re-attaching is what makes that content visible here.
#include "TextureReader.h"

namespace velmo_upscale {

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
    if (image.width != width || image.height != height)
        image = RgbaImage(width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, _framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete) {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
    }
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete && glGetError() == GL_NO_ERROR;
}

} // namespace velmo_upscale
