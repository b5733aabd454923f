// The player fixture: a surfaceless ES 3 context on Mesa, current on the test thread.
#include "support/PlayerGLTest.h"

#include <random>

namespace velmo_test {

EglCurrent current_egl()
{
    return EglCurrent{eglGetCurrentDisplay(), eglGetCurrentContext(), eglGetCurrentSurface(EGL_DRAW),
                      eglGetCurrentSurface(EGL_READ)};
}

RgbaImage random_image(int width, int height, uint32_t seed)
{
    RgbaImage image(width, height);
    std::mt19937 rng(seed);
    for (auto& byte : image.pixels)
        byte = static_cast<uint8_t>(rng() & 0xFF);
    return image;
}

void PlayerGLTest::SetUp()
{
    _display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    ASSERT_NE(_display, EGL_NO_DISPLAY) << "no EGL display; is EGL_PLATFORM=surfaceless set?";
    ASSERT_TRUE(eglInitialize(_display, nullptr, nullptr)) << "eglInitialize: 0x" << std::hex << eglGetError();
    ASSERT_TRUE(eglBindAPI(EGL_OPENGL_ES_API));

    const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 2, EGL_NONE};
    _context = eglCreateContext(_display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, context_attributes);
    ASSERT_NE(_context, EGL_NO_CONTEXT) << "eglCreateContext: 0x" << std::hex << eglGetError();
    ASSERT_TRUE(eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, _context));
}

void PlayerGLTest::TearDown()
{
    if (_display == EGL_NO_DISPLAY)
        return;
    eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (_context != EGL_NO_CONTEXT)
        eglDestroyContext(_display, _context);
    eglTerminate(_display);
}

void PlayerGLTest::expect_player_current() const
{
    EglCurrent now = current_egl();
    EXPECT_EQ(now.display, _display);
    EXPECT_EQ(now.context, _context);
    EXPECT_EQ(now.draw, EGL_NO_SURFACE);
    EXPECT_EQ(now.read, EGL_NO_SURFACE);
}

GLuint PlayerGLTest::create_texture(const RgbaImage& image) const
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.pixels.empty() ? nullptr : image.pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return texture;
}

GLuint PlayerGLTest::create_empty_texture(int width, int height) const
{
    RgbaImage empty;
    empty.width = width;
    empty.height = height;
    return create_texture(empty);
}

RgbaImage PlayerGLTest::read_texture(GLuint texture, int width, int height) const
{
    GLint previous_framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_framebuffer);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));

    RgbaImage image(width, height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());

    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous_framebuffer));
    glDeleteFramebuffers(1, &framebuffer);
    return image;
}

} // namespace velmo_test
