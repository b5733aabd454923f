// The headless test bed: a fixture that plays the video player with its own EGL display and
// OpenGL ES 3 context current on the test thread, plus texture upload and read-back helpers.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl32.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmo_test {

// An RGBA8 image, rows top to bottom as GL reads them (row 0 is the first row in memory).
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    RgbaImage() = default;
    RgbaImage(int w, int h)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4, 0) {}
    uint8_t* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

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

    EGLDisplay display() const { return _display; }
    EGLContext context() const { return _context; }

private:
    EGLDisplay _display = EGL_NO_DISPLAY;
    EGLContext _context = EGL_NO_CONTEXT;
};

} // namespace velmo_test
