// The tool's own headless EGL display and OpenGL ES 3 context, current on the calling thread for
// the session's lifetime: the "player" side that velmo shares textures with.
#pragma once

#include <EGL/egl.h>

#include <string>

namespace velmo_upscale {

class EglSession {
public:
    // Throws ToolError(kExitGpu) when no display or OpenGL ES 3 context can be had.
    EglSession();
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

} // namespace velmo_upscale
