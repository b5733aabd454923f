// The player fixture: a surfaceless ES 3 context on Mesa, current on the test thread.
#include "support/PlayerGLTest.h"

#include <random>

#include "client/GlTexture.h"
#include "client/TextureReader.h"

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
    try {
        _session = std::make_unique<velmo_client::EglSession>(2);
    } catch (const velmo_client::GpuError& error) {
        FAIL() << error.what() << "; is EGL_PLATFORM=surfaceless set?";
    }
}

void PlayerGLTest::TearDown()
{
    _session.reset();
}

void PlayerGLTest::expect_player_current() const
{
    EglCurrent now = current_egl();
    EXPECT_EQ(now.display, display());
    EXPECT_EQ(now.context, context());
    EXPECT_EQ(now.draw, EGL_NO_SURFACE);
    EXPECT_EQ(now.read, EGL_NO_SURFACE);
}

GLuint PlayerGLTest::create_texture(const RgbaImage& image) const
{
    return velmo_client::create_texture(image);
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
    RgbaImage image(width, height);
    EXPECT_TRUE(velmo_client::read_texture(texture, width, height, image))
        << "texture " << texture << " is no complete RGBA8 framebuffer attachment";
    return image;
}

} // namespace velmo_test
