// velmo-smoke: plays a player with a headless EGL context, asks velmo for a shared context and
// reports the GL renderer both contexts run on.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <cstdio>

#include "grf/GRFGPUContext/GPUContextAndroid.h"
#include "grf/GRFLog.h"

namespace {

class SmokeContext : public GRF::GPUContextAndroid {
public:
    void render() override {}
};

} // namespace

int main()
{
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        std::fprintf(stderr, "velmo-smoke: no EGL display (set EGL_PLATFORM=surfaceless for headless use)\n");
        return 1;
    }
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLContext player = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (player == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, player)) {
        std::fprintf(stderr, "velmo-smoke: cannot create an OpenGL ES 3 context (EGL error 0x%x)\n", eglGetError());
        return 1;
    }

    SmokeContext velmo_context;
    EGLContext shared = velmo_context.create_gpu_context(player, display);
    if (!shared || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, shared)) {
        std::fprintf(stderr, "velmo-smoke: velmo could not create its shared context\n");
        return 1;
    }
    GRF_LOG("shared context on %s, %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
            reinterpret_cast<const char*>(glGetString(GL_VERSION)));

    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, shared);
    eglDestroyContext(display, player);
    eglTerminate(display);
    std::printf("velmo-smoke: OK\n");
    return 0;
}
