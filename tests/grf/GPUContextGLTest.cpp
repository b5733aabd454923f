// GPUContextAndroid on Mesa's surfaceless EGL: shared contexts, the thread body order, surfaceless current.
#include "grf/GRFGPUContext/GPUContextAndroid.h"
#include "grf/GRFGPUContext/GPUSurface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"

using velmo_test::PlayerGLTest;
using velmo_test::RgbaImage;

namespace {

class TestContext : public GRF::GPUContextAndroid {
public:
    void render() override {}
};

// Records the order of the thread body's steps; init fails on purpose.
class FailingInitContext : public GRF::GPUContextAndroid {
public:
    int init_gpu_context() override
    {
        steps.push_back("init");
        return -1;
    }
    void render() override { steps.push_back("render"); }
    int uninit_gpu_context() override
    {
        steps.push_back("uninit");
        return 0;
    }
    std::vector<std::string> steps;
};

class GPUContextGLTest : public PlayerGLTest {
protected:
    // Makes `context` current without surfaces on the player's display.
    void use(EGLContext context) { ASSERT_TRUE(eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, context)); }
};

} // namespace

TEST_F(GPUContextGLTest, SharedContextOnPlayersDisplay)
{
    TestContext gpu;
    EGLContext shared = gpu.create_gpu_context(context(), display());
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(gpu.get_gpu_context(), nullptr) << "create_gpu_context must not store its result";
    expect_player_current();
    EXPECT_TRUE(eglDestroyContext(display(), shared));
}

TEST_F(GPUContextGLTest, SharedContextWithDefaultDisplay)
{
    TestContext gpu;
    EGLContext shared = gpu.create_gpu_context(context(), nullptr);
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(eglDestroyContext(display(), shared));
}

TEST_F(GPUContextGLTest, TexturesCrossBetweenSharedContexts)
{
    TestContext gpu;
    EGLContext shared = gpu.create_gpu_context(context(), display());
    ASSERT_NE(shared, nullptr);

    const RgbaImage from_player = velmo_test::random_image(13, 7, 1);
    GLuint player_texture = create_texture(from_player);
    glFinish();

    use(shared);
    EXPECT_TRUE(velmo_test::images_match("player_to_shared", read_texture(player_texture, 13, 7), from_player,
                                         velmo_test::ImageTolerance::exact()));
    const RgbaImage from_shared = velmo_test::random_image(5, 9, 2);
    GLuint shared_texture = create_texture(from_shared);
    glFinish();

    use(context());
    EXPECT_TRUE(velmo_test::images_match("shared_to_player", read_texture(shared_texture, 5, 9), from_shared,
                                         velmo_test::ImageTolerance::exact()));
    glDeleteTextures(1, &player_texture);
    glDeleteTextures(1, &shared_texture);
    EXPECT_TRUE(eglDestroyContext(display(), shared));
}

TEST_F(GPUContextGLTest, UnsharedContextDoesNotSeePlayerTextures)
{
    GLuint player_texture = create_empty_texture(4, 4);
    TestContext gpu;
    EGLContext own = gpu.create_gpu_context(nullptr, display());
    ASSERT_NE(own, nullptr);
    use(own);
    EXPECT_FALSE(glIsTexture(player_texture));
    use(context());
    EXPECT_TRUE(glIsTexture(player_texture));
    glDeleteTextures(1, &player_texture);
    EXPECT_TRUE(eglDestroyContext(display(), own));
}

TEST_F(GPUContextGLTest, InitOnSurfacelessDisplayMakesSurfacelessCurrent)
{
    TestContext gpu;
    EXPECT_EQ(gpu.get_gpu_context(), nullptr);
    // The surfaceless platform has no window-capable config; the context is made without one.
    ASSERT_EQ(gpu.init_gpu_context(), 0);
    ASSERT_NE(gpu.get_gpu_context(), nullptr);

    EXPECT_EQ(gpu.make_current(nullptr), 1);
    velmo_test::EglCurrent now = velmo_test::current_egl();
    EXPECT_EQ(now.context, gpu.get_gpu_context());
    EXPECT_EQ(now.draw, EGL_NO_SURFACE);
    EXPECT_EQ(now.read, EGL_NO_SURFACE);
    EXPECT_EQ(gpu.gl_finish(), 0);
    EXPECT_EQ(gpu.gl_flush(), 0);

    // The thread body's context belongs to the default display, which uninit terminates.
    use(context());
    EXPECT_EQ(gpu.uninit_gpu_context(), 0);
}

TEST_F(GPUContextGLTest, RunCallsEveryStepEvenWhenInitFails)
{
    FailingInitContext gpu;
    gpu.run();
    EXPECT_EQ(gpu.steps, (std::vector<std::string>{"init", "render", "uninit"}));
}

TEST_F(GPUContextGLTest, ThreadBodyRunsOnWorker)
{
    FailingInitContext gpu;
    ASSERT_EQ(gpu.start(), 0);
    ASSERT_EQ(gpu.stop(), 0);
    EXPECT_EQ(gpu.steps, (std::vector<std::string>{"init", "render", "uninit"}));
}

TEST_F(GPUContextGLTest, DestroySurfaceFreesEvenWhenEglFails)
{
    // No display in the record: EGL fails to create and to destroy; the object is still freed
    // (the sanitizer build reports a leak otherwise).
    TestContext gpu;
    GRF::GPUSurface* surface = gpu.create_offscreen_surface(16, 8);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->get_surface(), EGL_NO_SURFACE);
    EXPECT_EQ(surface->get_default_framebuffer_id(), 0u);
    EXPECT_EQ(gpu.destroy_surface(surface), 0);
}

TEST(GPUContextSize, WidthAndHeightAreStoredValues)
{
    TestContext gpu;
    EXPECT_EQ(gpu.get_width(), 0);
    EXPECT_EQ(gpu.get_height(), 0);
    EXPECT_EQ(gpu.set_width_height(1920, 1080), 0);
    EXPECT_EQ(gpu.get_width(), 1920);
    EXPECT_EQ(gpu.get_height(), 1080);
}
