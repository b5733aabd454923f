// The stand-in entry points. Each looks up the next definition of its own name (the driver's)
// once and times the forwarded call.
#include "GlCallMeter.h"

#include <EGL/egl.h>
#include <GLES3/gl3.h>
#include <dlfcn.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace velmo_bench {
namespace {

bool g_metering = false;
std::array<CallStats, static_cast<size_t>(MeteredCall::Count)> g_stats;

template <typename Function>
Function next_definition(const char* name)
{
    void* symbol = dlsym(RTLD_NEXT, name);
    if (!symbol) {
        std::fprintf(stderr, "frame bench: no driver entry point %s\n", name);
        std::abort();
    }
    return reinterpret_cast<Function>(symbol);
}

class Meter {
public:
    explicit Meter(MeteredCall call) : _call(call), _start(std::chrono::steady_clock::now()) {}
    ~Meter()
    {
        if (!g_metering)
            return;
        CallStats& stats = g_stats[static_cast<size_t>(_call)];
        ++stats.calls;
        stats.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - _start).count();
    }

private:
    MeteredCall _call;
    std::chrono::steady_clock::time_point _start;
};

} // namespace

void set_metering(bool on)
{
    g_metering = on;
}

void reset_metering()
{
    g_stats = {};
}

CallStats metered(MeteredCall call)
{
    return g_stats[static_cast<size_t>(call)];
}

const char* call_name(MeteredCall call)
{
    switch (call) {
    case MeteredCall::MakeCurrent:
        return "eglMakeCurrent";
    case MeteredCall::UniformLocation:
        return "glGetUniformLocation";
    case MeteredCall::Finish:
        return "glFinish";
    case MeteredCall::GetError:
        return "glGetError";
    case MeteredCall::TexImage:
        return "glTexImage2D";
    case MeteredCall::FramebufferStatus:
        return "glCheckFramebufferStatus";
    case MeteredCall::Count:
        break;
    }
    return "?";
}

} // namespace velmo_bench

using velmo_bench::Meter;
using velmo_bench::MeteredCall;
using velmo_bench::next_definition;

extern "C" {

EGLBoolean eglMakeCurrent(EGLDisplay display, EGLSurface draw, EGLSurface read, EGLContext context)
{
    static auto real = next_definition<EGLBoolean (*)(EGLDisplay, EGLSurface, EGLSurface, EGLContext)>("eglMakeCurrent");
    Meter meter(MeteredCall::MakeCurrent);
    return real(display, draw, read, context);
}

GLint glGetUniformLocation(GLuint program, const GLchar* name)
{
    static auto real = next_definition<GLint (*)(GLuint, const GLchar*)>("glGetUniformLocation");
    Meter meter(MeteredCall::UniformLocation);
    return real(program, name);
}

void glFinish()
{
    static auto real = next_definition<void (*)()>("glFinish");
    Meter meter(MeteredCall::Finish);
    real();
}

GLenum glGetError()
{
    static auto real = next_definition<GLenum (*)()>("glGetError");
    Meter meter(MeteredCall::GetError);
    return real();
}

void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels)
{
    static auto real = next_definition<void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                                                const void*)>("glTexImage2D");
    Meter meter(MeteredCall::TexImage);
    real(target, level, internal_format, width, height, border, format, type, pixels);
}

GLenum glCheckFramebufferStatus(GLenum target)
{
    static auto real = next_definition<GLenum (*)(GLenum)>("glCheckFramebufferStatus");
    Meter meter(MeteredCall::FramebufferStatus);
    return real(target);
}

} // extern "C"
