// Headless EGL: a surfaceless display and a config-less ES 3 context, nothing on screen.
#include "client/EglSession.h"

#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace velmo_client {

void EglSession::fail(const std::string& what)
{
    std::ostringstream message;
    message << what << " (EGL error 0x" << std::hex << eglGetError() << ")";
    release();
    throw GpuError(message.str());
}

EglSession::EglSession(int minor_version)
{
    // Mesa picks its platform from this variable at the first EGL call; a tool that never shows a
    // window wants the surfaceless one unless the caller asked for another.
    setenv("EGL_PLATFORM", "surfaceless", 0);

    _display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (_display == EGL_NO_DISPLAY || !eglInitialize(_display, nullptr, nullptr))
        fail("no EGL display for OpenGL ES");
    if (!eglBindAPI(EGL_OPENGL_ES_API))
        fail("EGL cannot serve OpenGL ES");
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, minor_version, EGL_NONE};
    _context = eglCreateContext(_display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (_context == EGL_NO_CONTEXT)
        fail("cannot create an OpenGL ES 3 context");
    if (!eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, _context))
        fail("cannot make the OpenGL ES 3 context current");
}

EglSession::~EglSession()
{
    release();
}

void EglSession::release()
{
    if (_display == EGL_NO_DISPLAY)
        return;
    eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (_context != EGL_NO_CONTEXT)
        eglDestroyContext(_display, _context);
    eglTerminate(_display);
    _context = EGL_NO_CONTEXT;
    _display = EGL_NO_DISPLAY;
}

std::string EglSession::renderer() const
{
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return text ? text : "unknown renderer";
}

int EglSession::max_texture_size() const
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

} // namespace velmo_client
