// Read-back through a pair of pixel pack buffers used in turn.
#include "client/PixelBufferReader.h"

#include "client/TextureReader.h"

namespace velmo_client {

PixelBufferReader::PixelBufferReader()
{
    glGenFramebuffers(1, &_framebuffer);
    for (Buffer& buffer : _buffers)
        glGenBuffers(1, &buffer.name);
}

PixelBufferReader::~PixelBufferReader()
{
    for (Buffer& buffer : _buffers)
        glDeleteBuffers(1, &buffer.name);
    glDeleteFramebuffers(1, &_framebuffer);
}

bool PixelBufferReader::start(GLuint texture, int width, int height)
{
    if (_waiting == 2)
        return false;
    Buffer& buffer = _buffers[(_oldest + _waiting) % 2];
    const GLsizeiptr size = static_cast<GLsizeiptr>(width) * height * 4;
    GLint previous = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &previous);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer.name);
    if (size > buffer.capacity) {
        glBufferData(GL_PIXEL_PACK_BUFFER, size, nullptr, GL_STREAM_READ);
        buffer.capacity = size;
    }
    // With a pack buffer bound, the pointer argument is an offset into it.
    bool complete = read_pixels_through(_framebuffer, texture, width, height, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(previous));
    // The error of a refused read is taken here, so that it does not fail the next one.
    const bool read = glGetError() == GL_NO_ERROR;
    if (!complete || !read)
        return false;
    buffer.width = width;
    buffer.height = height;
    ++_waiting;
    // Submitted now, so that the GPU copies while the caller works on the frame before.
    glFlush();
    return true;
}

bool PixelBufferReader::finish(const PixelUse& use)
{
    if (_waiting == 0)
        return false;
    Buffer& buffer = _buffers[_oldest];
    _oldest = (_oldest + 1) % 2;
    --_waiting;
    GLint previous = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &previous);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer.name);
    const GLsizeiptr size = static_cast<GLsizeiptr>(buffer.width) * buffer.height * 4;
    const auto* pixels = static_cast<const uint8_t*>(glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, size, GL_MAP_READ_BIT));
    struct Unmap {
        GLuint previous;
        bool mapped;
        ~Unmap()
        {
            if (mapped)
                glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
            glBindBuffer(GL_PIXEL_PACK_BUFFER, previous);
        }
    } unmap{static_cast<GLuint>(previous), pixels != nullptr};
    if (!pixels)
        return false;
    use(pixels, buffer.width, buffer.height);
    return true;
}

} // namespace velmo_client
