// The headless test bed: a fixture that plays the video player with its own EGL display and
// OpenGL ES 3 context current on the test thread, plus texture upload and read-back helpers.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl32.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "client/EglSession.h"
#include "client/RgbaImage.h"

namespace velmo_test {

// An RGBA8 image, rows top to bottom as GL reads them (row 0 is the first row in memory).
using velmo_client::RgbaImage;

// The player's EGL state as seen by eglGetCurrent*.
struct EglCurrent {
    EGLDisplay display;
    EGLContext context;
    EGLSurface draw;
    EGLSurface read;
};
EglCurrent current_egl();

// Random pixels with a fixed seed so failures reproduce.
RgbaImage random_image(int width, int height, uint32_t seed);

class PlayerGLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fails the test unless the player's display, context and (absent) surfaces are current.
    void expect_player_current() const;

    // A new GL_TEXTURE_2D RGBA8 texture holding the image, linear filtering, clamped edges.
    GLuint create_texture(const RgbaImage& image) const;
    // An empty RGBA8 texture of the given size.
    GLuint create_empty_texture(int width, int height) const;
    // Reads an RGBA8 texture back through a temporary framebuffer; restores the bindings it touched.
    RgbaImage read_texture(GLuint texture, int width, int height) const;

    EGLDisplay display() const { return _session ? _session->display() : EGL_NO_DISPLAY; }
    EGLContext context() const { return _session ? _session->context() : EGL_NO_CONTEXT; }

private:
    std::unique_ptr<velmo_client::EglSession> _session;
};

} // namespace velmo_test
