// The C interface with a player that draws to real surfaces: its draw and read surfaces are current
// again after every call, whatever the call returned.
#include <gtest/gtest.h>

#include <EGL/egl.h>
#include <GLES3/gl3.h>

#include <cstdlib>

#include "velmo/velmo_api.h"

namespace {

class VelmoApiSurfacesX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X server: DISPLAY is unset and Xvfb was not found when the build was configured";
        _display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        ASSERT_TRUE(eglInitialize(_display, nullptr, nullptr));
        const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                            EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint count = 0;
        ASSERT_TRUE(eglChooseConfig(_display, config_attributes, &config, 1, &count));
        ASSERT_EQ(count, 1);
        const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
        _context = eglCreateContext(_display, config, EGL_NO_CONTEXT, context_attributes);
        ASSERT_NE(_context, EGL_NO_CONTEXT);
        const EGLint draw_size[] = {EGL_WIDTH, 32, EGL_HEIGHT, 16, EGL_NONE};
        const EGLint read_size[] = {EGL_WIDTH, 8, EGL_HEIGHT, 8, EGL_NONE};
        _draw = eglCreatePbufferSurface(_display, config, draw_size);
        _read = eglCreatePbufferSurface(_display, config, read_size);
        ASSERT_NE(_draw, EGL_NO_SURFACE);
        ASSERT_NE(_read, EGL_NO_SURFACE);
        ASSERT_TRUE(eglMakeCurrent(_display, _draw, _read, _context));
    }

    void TearDown() override
    {
        if (_display == EGL_NO_DISPLAY)
            return;
        eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroySurface(_display, _draw);
        eglDestroySurface(_display, _read);
        eglDestroyContext(_display, _context);
        eglTerminate(_display);
    }

    void expect_player_current(const char* after) const
    {
        EXPECT_EQ(eglGetCurrentDisplay(), _display) << after;
        EXPECT_EQ(eglGetCurrentContext(), _context) << after;
        EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), _draw) << after;
        EXPECT_EQ(eglGetCurrentSurface(EGL_READ), _read) << after;
    }

    EGLDisplay _display = EGL_NO_DISPLAY;
    EGLContext _context = EGL_NO_CONTEXT;
    EGLSurface _draw = EGL_NO_SURFACE;
    EGLSurface _read = EGL_NO_SURFACE;
};

} // namespace

TEST_F(VelmoApiSurfacesX11Test, EveryReturnPathRestoresDrawAndReadSurfaces)
{
    velmo_init_params params;
    velmo_default_params(&params);
    params.config_dir = "/nonexistent";
    params.enable_fast_sr_smooth = true;
    void* instance = velmo_init(&params);
    ASSERT_NE(instance, nullptr);
    expect_player_current("velmo_init");

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);

    velmo_input_frame in = {16, 8, static_cast<int>(texture), 0, 0};
    velmo_input_frame no_texture = {16, 8, -1, 0, 0};
    velmo_output_frame out = {};
    EXPECT_EQ(velmo_process(instance, &no_texture, &out), VELMO_ERROR_VIDEO_SIZE);
    expect_player_current("no video size");

    EXPECT_EQ(velmo_set_input_props(instance, 16, 8, 1.5f), VELMO_ERROR_CONFIG_FILE);
    expect_player_current("velmo_set_input_props");

    EXPECT_EQ(velmo_process(instance, &no_texture, &out), VELMO_ERROR_NO_TEXTURE);
    expect_player_current("no input texture");

    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(velmo_process(instance, &in, &out), VELMO_OK);
        EXPECT_EQ(out.texid, static_cast<int>(texture)) << "set-up call " << call;
        expect_player_current("set-up stage");
    }
    EXPECT_EQ(velmo_process(instance, &in, &out), VELMO_OK);
    EXPECT_NE(out.texid, static_cast<int>(texture));
    expect_player_current("drawn frame");

    EXPECT_EQ(velmo_release(instance), 0);
    expect_player_current("velmo_release");
    glDeleteTextures(1, &texture);
}
