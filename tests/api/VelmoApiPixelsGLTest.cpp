// The C interface on Mesa: what the frames look like on each path, and switching paths while drawing.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "api/VelmoApiTestSupport.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "shaders/SceneImages.h"
#include "shaders/UpscaleReference.h"
#include "support/BilinearReference.h"
#include "support/ImageCompare.h"
#include "velmo/GRFRenderNodeBilateral.h"
#include "velmo/SrRenderOhos.h"
#include "velmo/velmo_api.h"

using velmo_test::default_params;
using velmo_test::ImageTolerance;
using velmo_test::RgbaImage;
using velmo_test::VelmoApiGLTest;

namespace {

kx_velmo::SrRenderOhos* renderer(void* instance)
{
    return static_cast<kx_velmo::SrRenderOhos*>(instance);
}

// The plain path: the input stretched over the output with opaque alpha.
RgbaImage stretched(const RgbaImage& input, int width, int height)
{
    RgbaImage expected = velmo_test::stretch_linear(input, width, height);
    for (size_t i = 3; i < expected.pixels.size(); i += 4)
        expected.pixels[i] = 255;
    return expected;
}

// Agreement of the upscaling path with its CPU reference: llvmpipe's mediump and filtering leave a
// few pixels a step or two away (the reference resolves exact ties towards the driver's side).
const ImageTolerance kUpscaleTolerance{2, 0.999, 0.5, true};

// The skin-tone smoothing node's output for `input`, drawn by the library's own node.
RgbaImage smoothed(const RgbaImage& input, GLuint texture, float sigma_s, float sigma_r)
{
    GRF::GPUTexture wrapped(GRF::GPU_TEXTURE_2D, static_cast<int>(texture));
    kx_velmo::GRFRenderNodeBilateral node(input.width, input.height);
    node.add_input_texture("input_texture", &wrapped);
    node.init();
    node.set_texel_size(static_cast<float>(input.width), static_cast<float>(input.height));
    node.set_params(sigma_s, sigma_r);
    node.render();
    RgbaImage result(input.width, input.height);
    node.read_pixel_rgba(0, 0, input.width, input.height, result.pixels.data());
    node.uninit();
    return result;
}

// Sets the renderer's super-resolution switch from a thread of its own, one request at a time.
class PathSwitcher {
public:
    explicit PathSwitcher(kx_velmo::SrRenderOhos* renderer)
        : _thread([this, renderer] { serve(renderer); })
    {
    }
    ~PathSwitcher()
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _stopping = true;
        }
        _changed.notify_all();
        _thread.join();
    }

    // Hands the switch to the thread and returns at once.
    void request(bool enable)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _enable = enable;
        _pending = true;
        _changed.notify_all();
    }
    // Returns once the thread has set the switch last requested.
    void wait()
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [this] { return !_pending; });
    }

private:
    void serve(kx_velmo::SrRenderOhos* renderer)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        for (;;) {
            _changed.wait(lock, [this] { return _pending || _stopping; });
            if (_stopping)
                return;
            const bool enable = _enable;
            lock.unlock();
            renderer->set_enable_sr(enable);
            lock.lock();
            _pending = false;
            _changed.notify_all();
        }
    }

    std::mutex _mutex;
    std::condition_variable _changed;
    bool _enable = true;
    bool _pending = false;
    bool _stopping = false;
    std::thread _thread;
};

} // namespace

TEST_F(VelmoApiGLTest, UpscalingPathMatchesItsReference)
{
    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 40, 30, 1.5f), VELMO_OK);
    velmo_output_frame out = {};
    bool first = true;
    for (const velmo_test::Scene& scene : velmo_test::upscale_scenes(40, 30)) {
        GLuint texture = create_texture(scene.image);
        if (first)
            ASSERT_EQ(process_until_drawn(static_cast<int>(texture), 40, 30, out), 3);
        else
            ASSERT_EQ(process(static_cast<int>(texture), 40, 30, out), VELMO_OK);
        first = false;
        ASSERT_EQ(out.width, 60);
        ASSERT_EQ(out.height, 45);
        const RgbaImage actual = read_texture(static_cast<GLuint>(out.texid), 60, 45);
        // The copy pass reproduces the input exactly, so the reference starts from the input itself.
        const velmo_test::UpscaleReference reference(scene.image, 60, 45, velmo_test::UpscaleSettings{});
        EXPECT_TRUE(velmo_test::images_match("api_upscaling_" + scene.name, actual, reference.closest_to(actual),
                                             kUpscaleTolerance));
        glDeleteTextures(1, &texture);
    }
}

TEST_F(VelmoApiGLTest, SmoothingFeedsTheUpscalingPass)
{
    velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
    params.enable_fast_sr_smooth = true;
    params.sigma_s = 1.5f;
    params.sigma_r = 2.0f;
    init(params);
    ASSERT_EQ(velmo_set_input_props(_instance, 40, 30, 1.5f), VELMO_OK);

    // Skin-tone discs with texture on a non-skin field: the smoothing changes the discs only.
    const RgbaImage input = velmo_test::upscale_scenes(40, 30)[4].image;
    GLuint texture = create_texture(input);
    velmo_output_frame out = {};
    ASSERT_EQ(process_until_drawn(static_cast<int>(texture), 40, 30, out), 3);
    const RgbaImage actual = read_texture(static_cast<GLuint>(out.texid), 60, 45);

    const RgbaImage smooth = smoothed(input, texture, 1.5f, 2.0f);
    ASSERT_NE(smooth.pixels, input.pixels) << "the scene must contain skin tones the node changes";
    velmo_test::UpscaleSettings settings;
    settings.enable_bilateral_filter = 1;
    const velmo_test::UpscaleReference reference(smooth, 60, 45, settings);
    EXPECT_TRUE(velmo_test::images_match("api_smoothing", actual, reference.closest_to(actual), kUpscaleTolerance));

    // Without smoothing the same frame looks different where the skin is.
    const velmo_test::UpscaleReference unsmoothed(input, 60, 45, velmo_test::UpscaleSettings{});
    EXPECT_FALSE(velmo_test::images_match("api_smoothing_differs", actual, unsmoothed.closest_to(actual),
                                          kUpscaleTolerance));
    glDeleteTextures(1, &texture);
}

TEST_F(VelmoApiGLTest, PlainPathStretchesTheInput)
{
    init(default_params(_config_dir.path().c_str(), 0));
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.5f), VELMO_OK);
    const RgbaImage input = velmo_test::random_image(24, 16, 10);
    GLuint texture = create_texture(input);
    velmo_output_frame out = {};
    ASSERT_EQ(process_until_drawn(static_cast<int>(texture), 24, 16, out), 2);
    ASSERT_EQ(out.width, 36);
    ASSERT_EQ(out.height, 24);
    EXPECT_TRUE(velmo_test::images_match("api_plain_path", read_texture(static_cast<GLuint>(out.texid), 36, 24),
                                         stretched(input, 36, 24), ImageTolerance::exact()));

    // A larger scale later resizes the output texture of the plain path.
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 2.0f), VELMO_OK);
    ASSERT_EQ(process(static_cast<int>(texture), 24, 16, out), VELMO_OK);
    ASSERT_EQ(out.width, 48);
    EXPECT_TRUE(velmo_test::images_match("api_plain_path_rescaled",
                                         read_texture(static_cast<GLuint>(out.texid), 48, 32),
                                         stretched(input, 48, 32), ImageTolerance::exact()));
    glDeleteTextures(1, &texture);
}

TEST_F(VelmoApiGLTest, NewOutputTextureIsDrawnInto)
{
    for (int priority : {0, 2}) {
        init(default_params(_config_dir.path().c_str(), priority));
        ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.0f), VELMO_OK);
        const RgbaImage input = velmo_test::random_image(24, 16, 11);
        GLuint texture = create_texture(input);
        velmo_output_frame out = {};
        ASSERT_GE(process_until_drawn(static_cast<int>(texture), 24, 16, out), 2);
        const RgbaImage first = read_texture(static_cast<GLuint>(out.texid), 24, 16);

        // After set-up the canvases must follow the new texture, not keep the deleted one.
        GLuint replacement = create_empty_texture(24, 16);
        ASSERT_EQ(renderer(_instance)->set_output_texid(static_cast<int>(replacement)), 0);
        expect_player_current();
        ASSERT_EQ(process(static_cast<int>(texture), 24, 16, out), VELMO_OK);
        EXPECT_EQ(out.texid, static_cast<int>(replacement));
        EXPECT_TRUE(velmo_test::images_match("api_new_output_texture", read_texture(replacement, 24, 16), first,
                                             ImageTolerance::exact()))
            << "priority " << priority;
        EXPECT_EQ(renderer(_instance)->set_output_texid(-1), -1);

        release();
        EXPECT_TRUE(glIsTexture(replacement)) << "a texture handed in stays the player's";
        glDeleteTextures(1, &replacement);
        glDeleteTextures(1, &texture);
    }
}

TEST_F(VelmoApiGLTest, SwitchingSuperResolutionFromAnotherThread)
{
    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.5f), VELMO_OK);
    GLuint texture = create_texture(velmo_test::random_image(24, 16, 12));
    velmo_output_frame out = {};
    ASSERT_EQ(process_until_drawn(static_cast<int>(texture), 24, 16, out), 3);
    const RgbaImage upscaled = read_texture(static_cast<GLuint>(out.texid), 36, 24);

    renderer(_instance)->set_enable_sr(false);
    ASSERT_EQ(process(static_cast<int>(texture), 24, 16, out), VELMO_OK);
    const RgbaImage plain = read_texture(static_cast<GLuint>(out.texid), 36, 24);
    ASSERT_NE(plain.pixels, upscaled.pixels);

    // Switching back needs no new set-up: the very next frame is upscaled again.
    renderer(_instance)->set_enable_sr(true);
    ASSERT_EQ(process(static_cast<int>(texture), 24, 16, out), VELMO_OK);
    EXPECT_EQ(read_texture(static_cast<GLuint>(out.texid), 36, 24).pixels, upscaled.pixels);

    // Switched from another thread in step with the frames: a frame drawn after the switch is wholly
    // the path switched to. In every other pair of frames the flip is requested as the frame starts,
    // so it lands before, during or after the drawing; such a frame is wholly one path or the other.
    PathSwitcher switcher(renderer(_instance));
    for (int frame = 0; frame < 24; ++frame) {
        const bool enable = frame % 2 == 0;
        const bool during_frame = frame % 4 >= 2;
        switcher.request(enable);
        if (!during_frame)
            switcher.wait();
        velmo_input_frame in = {24, 16, static_cast<int>(texture), 0, 0};
        ASSERT_EQ(velmo_process(_instance, &in, &out), VELMO_OK);
        switcher.wait();
        const RgbaImage result = read_texture(static_cast<GLuint>(out.texid), 36, 24);
        if (during_frame)
            EXPECT_TRUE(result.pixels == upscaled.pixels || result.pixels == plain.pixels) << "frame " << frame;
        else
            EXPECT_EQ(result.pixels, enable ? upscaled.pixels : plain.pixels) << "frame " << frame;
    }
    expect_player_current();
    glDeleteTextures(1, &texture);
}
