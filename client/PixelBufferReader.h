// Reads RGBA8 textures back through two pixel buffer objects, so that the copy of one frame is
// queued on the GPU while the frame before it is mapped and used: the CPU never waits for a copy
// it has just asked for.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>
#include <functional>

namespace velmo_client {

class PixelBufferReader {
public:
    PixelBufferReader();
    ~PixelBufferReader();
    PixelBufferReader(const PixelBufferReader&) = delete;
    PixelBufferReader& operator=(const PixelBufferReader&) = delete;

    // Queues a copy of the texture's level 0 (width x height, RGBA8); at most two copies wait at
    // a time. False when two already wait or GL cannot read the texture as RGBA8. The copy is
    // ordered before later commands of this context only: a texture another context draws into
    // next must not be drawn before this context's work has finished (glFinish).
    bool start(GLuint texture, int width, int height);

    using PixelUse = std::function<void(const uint8_t* pixels, int width, int height)>;
    // Maps the oldest waiting copy and hands its pixels (row 0 first, width * 4 bytes a row) to
    // `use`, then unmaps it, also when `use` throws. False when no copy waits or GL cannot map it.
    bool finish(const PixelUse& use);

    int waiting() const { return _waiting; }

private:
    struct Buffer {
        GLuint name = 0;
        GLsizeiptr capacity = 0;
        int width = 0;
        int height = 0;
    };
    Buffer _buffers[2];
    int _oldest = 0;
    int _waiting = 0;
    GLuint _framebuffer = 0;
};

} // namespace velmo_client
