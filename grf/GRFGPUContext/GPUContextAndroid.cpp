// GPUContextAndroid: EGL display, config, context and surface handling.
#include "grf/GRFGPUContext/GPUContextAndroid.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include "grf/GRFGPUContext/GPUContextPrivate.h"
#include "grf/GRFGPUContext/GPUSurface.h"
#include "grf/GRFLog.h"

namespace GRF {

namespace {

const EGLint kConfigAttributes[] = {
    EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT_KHR,
    EGL_SURFACE_TYPE, EGL_WINDOW_BIT | EGL_PBUFFER_BIT,
    EGL_DEPTH_SIZE, 8,
    EGL_BLUE_SIZE, 8,
    EGL_GREEN_SIZE, 8,
    EGL_RED_SIZE, 8,
    EGL_ALPHA_SIZE, 8,
    EGL_NONE,
};

const EGLint kContextAttributes[] = {
    EGL_CONTEXT_CLIENT_VERSION, 3,
    EGL_NONE,
};

} // namespace

GPUContextAndroid::GPUContextAndroid()
    : GPUContext(nullptr)
{
}

GPUContextAndroid::GPUContextAndroid(void* parent)
    : GPUContext(parent)
{
}

GPUContextAndroid::~GPUContextAndroid() = default;

int GPUContextAndroid::init_gpu_context()
{
    GPUCtx& ctx = context_private()->ctx;

    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    ctx.set_display(display);
    if (display == EGL_NO_DISPLAY) {
        GRF_LOG("eglGetDisplay error\n");
        GRF_LOG("GRF GLContextThread End\n");
        return -1;
    }

    if (!eglInitialize(display, nullptr, nullptr)) {
        GRF_LOG("eglInitialize() returned error %d\n", eglGetError());
        GRF_LOG("GRF GLContextThread End\n");
        return -1;
    }

    // When nothing matches EGL writes no config; the record then keeps EGL_NO_CONFIG_KHR
    // and the context is created config-less where the display supports it.
    *ctx.config_address() = EGL_NO_CONFIG_KHR;
    EGLint count = 0;
    if (!eglChooseConfig(display, kConfigAttributes, reinterpret_cast<EGLConfig*>(ctx.config_address()), 1,
                         &count)) {
        GRF_LOG("eglChooseConfig error\n");
        GRF_LOG("GRF GLContextThread End\n");
        return -1;
    }

    EGLContext context = eglCreateContext(display, ctx.config(), parent_context(), kContextAttributes);
    ctx.set_context(context);
    if (context == EGL_NO_CONTEXT) {
        GRF_LOG("eglCreateContext error %d\n", eglGetError());
        GRF_LOG("GRF GLContextThread End\n");
        return -1;
    }
    return 0;
}

int GPUContextAndroid::uninit_gpu_context()
{
    GPUCtx& ctx = context_private()->ctx;
    eglDestroyContext(ctx.display(), ctx.context());
    eglTerminate(ctx.display());
    return 0;
}

void* GPUContextAndroid::get_gpu_context()
{
    return context_private()->ctx.context();
}

GPUSurface* GPUContextAndroid::create_surface(void* native_window)
{
    GPUCtx& ctx = context_private()->ctx;
    GPUSurface* surface = new GPUSurface;
    surface->set_surface(eglCreateWindowSurface(ctx.display(), ctx.config(),
                                                reinterpret_cast<EGLNativeWindowType>(native_window), nullptr));
    return surface;
}

GPUSurface* GPUContextAndroid::create_offscreen_surface(int width, int height)
{
    GPUCtx& ctx = context_private()->ctx;
    const EGLint pbuffer_attributes[] = {
        EGL_WIDTH, width,
        EGL_HEIGHT, height,
        EGL_NONE,
    };
    GPUSurface* surface = new GPUSurface;
    surface->set_surface(eglCreatePbufferSurface(ctx.display(), ctx.config(), pbuffer_attributes));
    return surface;
}

int GPUContextAndroid::destroy_surface(GPUSurface* surface)
{
    // Giving back a surface that was never made (null) is a no-op, not a dereference of null.
    if (!surface)
        return 0;
    eglDestroySurface(context_private()->ctx.display(), surface->get_surface());
    delete surface;
    return 0;
}

int GPUContextAndroid::make_current(GPUSurface* surface)
{
    GPUCtx& ctx = context_private()->ctx;
    EGLSurface handle = surface ? surface->get_surface() : EGL_NO_SURFACE;
    return eglMakeCurrent(ctx.display(), handle, handle, ctx.context());
}

int GPUContextAndroid::swap_buffer(GPUSurface* surface)
{
    return eglSwapBuffers(context_private()->ctx.display(), surface ? surface->get_surface() : EGL_NO_SURFACE);
}

void* GPUContextAndroid::create_gpu_context(void* share_context, void* display)
{
    if (!display) {
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (display == EGL_NO_DISPLAY) {
            GRF_LOG("eglGetDisplay error\n");
            GRF_LOG("GRF GLContextThread End\n");
            return nullptr;
        }
        if (!eglInitialize(display, nullptr, nullptr)) {
            GRF_LOG("eglInitialize() returned error %d\n", eglGetError());
            GRF_LOG("GRF GLContextThread End\n");
            return nullptr;
        }
    }

    // Stays EGL_NO_CONFIG_KHR when no config matches, so it is never read uninitialised.
    EGLConfig config = EGL_NO_CONFIG_KHR;
    EGLint count = 0;
    if (!eglChooseConfig(display, kConfigAttributes, &config, 1, &count)) {
        GRF_LOG("eglChooseConfig error\n");
        GRF_LOG("GRF GLContextThread End\n");
        return nullptr;
    }

    EGLContext context = eglCreateContext(display, config, share_context, kContextAttributes);
    if (context == EGL_NO_CONTEXT) {
        GRF_LOG("eglCreateContext error %d\n", eglGetError());
        GRF_LOG("GRF GLContextThread End\n");
        return nullptr;
    }
    return context;
}

int GPUContextAndroid::gl_flush()
{
    glFlush();
    return 0;
}

int GPUContextAndroid::gl_finish()
{
    glFinish();
    return 0;
}

} // namespace GRF
