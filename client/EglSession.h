// A headless EGL display and OpenGL ES 3 context, current on the calling thread for the session's
// lifetime: the "player" side that velmo shares textures with.
#pragma once

#include <EGL/egl.h>

#include <stdexcept>
#include <string>

namespace velmo_client {

// No display or OpenGL ES 3 context could be had; the message names the step and the EGL error.
class GpuError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EglSession {
public:
    // An OpenGL ES 3.`minor_version` context on the default display (Mesa's surfaceless platform
    // unless EGL_PLATFORM says otherwise). Throws GpuError.
    explicit EglSession(int minor_version = 0);
    ~EglSession();
    EglSession(const EglSession&) = delete;
    EglSession& operator=(const EglSession&) = delete;

    EGLDisplay display() const { return _display; }
    EGLContext context() const { return _context; }
    // GL_RENDERER, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
    std::string renderer() const;
    // GL_MAX_TEXTURE_SIZE: the longest side any frame, velmo's output included, may have.
    int max_texture_size() const;

private:
    [[noreturn]] void fail(const std::string& what);
    void release();

    EGLDisplay _display = EGL_NO_DISPLAY;
    EGLContext _context = EGL_NO_CONTEXT;
};

} // namespace velmo_client
