// Window and pbuffer surfaces through GPUContextAndroid, on an X server (Xvfb in CI).
#include "grf/GRFGPUContext/GPUContextAndroid.h"
#include "grf/GRFGPUContext/GPUSurface.h"

// GoogleTest first: Xlib defines macros (None, Bool) that break its headers.
#include <gtest/gtest.h>

#include <EGL/egl.h>
#include <GLES3/gl3.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace {

class TestContext : public GRF::GPUContextAndroid {
public:
    void render() override {}
};

class GPUSurfaceX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X server: DISPLAY is unset and Xvfb was not found when the build was configured";
        ASSERT_EQ(_gpu.init_gpu_context(), 0);
        ASSERT_NE(_gpu.get_gpu_context(), nullptr);
        _initialised = true;
    }
    void TearDown() override
    {
        if (_initialised)
            _gpu.uninit_gpu_context();
    }

    // Clears the current draw surface to a colour and reads its lower-left pixel.
    static void clear_and_expect(float r, float g, float b, const unsigned char (&expected)[4])
    {
        glClearColor(r, g, b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        unsigned char pixel[4] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(pixel[c], expected[c]) << "channel " << c;
    }

    TestContext _gpu;
    bool _initialised = false;
};

} // namespace

TEST_F(GPUSurfaceX11Test, PbufferSizeAndCurrent)
{
    GRF::GPUSurface* surface = _gpu.create_offscreen_surface(64, 32);
    ASSERT_NE(surface->get_surface(), EGL_NO_SURFACE);
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    EGLint width = 0, height = 0;
    eglQuerySurface(display, surface->get_surface(), EGL_WIDTH, &width);
    eglQuerySurface(display, surface->get_surface(), EGL_HEIGHT, &height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 32);

    ASSERT_EQ(_gpu.make_current(surface), 1);
    EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), surface->get_surface());
    EXPECT_EQ(eglGetCurrentSurface(EGL_READ), surface->get_surface());
    glBindFramebuffer(GL_FRAMEBUFFER, surface->get_default_framebuffer_id());
    clear_and_expect(1.0f, 0.0f, 1.0f, {255, 0, 255, 255});

    ASSERT_EQ(_gpu.make_current(nullptr), 1);
    EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), EGL_NO_SURFACE);
    EXPECT_EQ(_gpu.destroy_surface(surface), 0);
}

TEST_F(GPUSurfaceX11Test, WindowSurfaceDrawsAndSwaps)
{
    Display* x_display = XOpenDisplay(nullptr);
    ASSERT_NE(x_display, nullptr);
    Window window = XCreateSimpleWindow(x_display, DefaultRootWindow(x_display), 0, 0, 48, 40, 0, 0, 0);
    XMapWindow(x_display, window);
    XSync(x_display, False);

    GRF::GPUSurface* surface = _gpu.create_surface(reinterpret_cast<void*>(window));
    ASSERT_NE(surface->get_surface(), EGL_NO_SURFACE) << "eglCreateWindowSurface: 0x" << std::hex << eglGetError();
    ASSERT_EQ(_gpu.make_current(surface), 1);
    clear_and_expect(0.0f, 1.0f, 0.0f, {0, 255, 0, 255});
    EXPECT_EQ(_gpu.swap_buffer(surface), 1);

    ASSERT_EQ(_gpu.make_current(nullptr), 1);
    EXPECT_EQ(_gpu.destroy_surface(surface), 0);
    XDestroyWindow(x_display, window);
    XCloseDisplay(x_display);
}
