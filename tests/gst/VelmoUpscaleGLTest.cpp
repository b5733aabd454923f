// The velmoupscale element in GStreamer pipelines on Mesa's headless OpenGL ES: its frames against
// what velmo's C interface draws, its caps, renegotiation and repeated starts.
#include <gst/base/gstbasetransform.h>
#include <gst/gl/gl.h>
#include <gst/gst.h>

#include <string>

#include "api/VelmoApiTestSupport.h"
#include "client/DrawFrame.h"
#include "gst/GstLogCapture.h"
#include "gst/GstTestSupport.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "support/TemporaryDirectory.h"
#include "velmo/velmo_api.h"

namespace velmo_test {
namespace {

class VelmoUpscaleElementTest : public PlayerGLTest {
protected:
    void SetUp() override
    {
        PlayerGLTest::SetUp();
        init_gstreamer();
    }

    // What velmo's C interface draws for the picture, in the player fixture's context.
    RgbaImage velmo_draws(const RgbaImage& picture, velmo_init_params params, float scale)
    {
        params.config_dir = _config.path().c_str();
        GLuint texture = create_texture(picture);
        void* instance = velmo_init(&params);
        EXPECT_EQ(velmo_set_input_props(instance, picture.width, picture.height, scale), VELMO_OK);
        velmo_input_frame in = {picture.width, picture.height, static_cast<int32_t>(texture), 0, 0};
        const velmo_client::DrawnFrame drawn = velmo_client::draw_frame(instance, in);
        EXPECT_TRUE(drawn.drawn) << velmo_client::draw_failure(drawn);
        const velmo_output_frame& out = drawn.out;
        RgbaImage result = read_texture(static_cast<GLuint>(out.texid), out.width, out.height);
        velmo_release(instance);
        glDeleteTextures(1, &texture);
        return result;
    }

    std::string config_property() const { return "config-dir=" + _config.path(); }

private:
    TemporaryDirectory _config;
};

// velmo's defaults as the element passes them: priority 2, always upscale.
velmo_init_params element_defaults()
{
    return default_params(nullptr, 2);
}

// The element's frames are velmo's: from the first frame on (set-up frames are submitted again
// inside the element), with its default settings, with every other property passed on, and on
// velmo's plain path.
TEST_F(VelmoUpscaleElementTest, FramesMatchWhatTheCInterfaceDraws)
{
    const RgbaImage picture = random_image(40, 30, 7);
    const ImageTolerance within_one{1, 1.0, 1.0, true};

    UpscaleHarness defaults(config_property());
    RgbaImage first = defaults.upscale(picture);
    ASSERT_EQ(first.width, 60) << defaults.error();
    EXPECT_TRUE(images_match("gst_defaults", first, velmo_draws(picture, element_defaults(), 1.5f), within_one));

    velmo_init_params tuned = element_defaults();
    tuned.sr_level = 0;
    tuned.custom_sharpness = 3.0f;
    tuned.enable_fast_sr_smooth = true;
    tuned.sigma_s = 1.5f;
    tuned.sigma_r = 0.5f;
    tuned.enable_edge_adaptive = false;
    tuned.enable_face_protection = true;
    UpscaleHarness tuned_pipeline(config_property() +
                                   " scale=2 sharpness=3 smooth=true sigma-s=1.5 sigma-r=0.5 edge-adaptive=false "
                                   "face-protection=true");
    EXPECT_TRUE(images_match("gst_tuned", tuned_pipeline.upscale(picture), velmo_draws(picture, tuned, 2.0f),
                             within_one));

    velmo_init_params plain = element_defaults();
    plain.priority = 0;
    UpscaleHarness plain_pipeline(config_property() + " priority=0 scale=1.25");
    EXPECT_TRUE(images_match("gst_plain", plain_pipeline.upscale(picture), velmo_draws(picture, plain, 1.25f),
                             within_one));
}

// Above 2x the element runs velmo passes of 2 and one last pass, as velmo-upscale does; only the
// last sharpens (sharpening every pass would compound). The ends of the scale's range draw too.
TEST_F(VelmoUpscaleElementTest, ScalesAboveTwoRunSeveralPassesSharpeningOnce)
{
    const RgbaImage picture = random_image(40, 30, 5);
    const ImageTolerance within_one{1, 1.0, 1.0, true};
    UpscaleHarness passes(config_property() + " scale=3.5");
    RgbaImage shown = passes.upscale(picture);
    ASSERT_EQ(shown.width, 140) << passes.error();
    ASSERT_EQ(shown.height, 105);
    velmo_init_params unsharpened = element_defaults();
    unsharpened.sr_level = 0;
    unsharpened.custom_sharpness = 0.0f;
    RgbaImage doubled = velmo_draws(picture, unsharpened, 2.0f);
    EXPECT_TRUE(images_match("gst_passes", shown, velmo_draws(doubled, element_defaults(), 1.75f), within_one));

    GParamSpecFloat* scale = G_PARAM_SPEC_FLOAT(
        g_object_class_find_property(G_OBJECT_GET_CLASS(passes.element()), "scale"));
    ASSERT_GT(scale->minimum, 0.0f);
    UpscaleHarness smallest(config_property() + " scale=" + std::to_string(scale->minimum));
    RgbaImage tiny = smallest.upscale(random_image(200, 100, 6));
    EXPECT_EQ(tiny.width, 2) << smallest.error();
    EXPECT_EQ(tiny.height, 1);
    // A side that would come out below one pixel keeps one; velmo's picture is stretched to fit.
    RgbaImage flat(300, 10);
    for (size_t i = 0; i < flat.pixels.size(); i += 4) {
        flat.pixels[i] = 200;
        flat.pixels[i + 1] = 100;
        flat.pixels[i + 2] = 50;
        flat.pixels[i + 3] = 255;
    }
    UpscaleHarness one_pixel(config_property() + " scale=" + std::to_string(scale->minimum));
    RgbaImage dot = one_pixel.upscale(random_image(64, 36, 7));
    EXPECT_EQ(dot.width, 1) << one_pixel.error();
    EXPECT_EQ(dot.height, 1);
    UpscaleHarness stretched(config_property() + " scale=" + std::to_string(scale->minimum));
    RgbaImage line = stretched.upscale(flat);
    ASSERT_EQ(line.width, 3) << stretched.error();
    ASSERT_EQ(line.height, 1);
    for (int x = 0; x < 3; ++x)
        EXPECT_NEAR(line.at(x, 0)[1], 100, 2) << "pixel " << x;
    UpscaleHarness largest(config_property() + " scale=" + std::to_string(scale->maximum));
    RgbaImage huge = largest.upscale(random_image(5, 4, 8));
    EXPECT_EQ(huge.width, static_cast<int>(5 * scale->maximum)) << largest.error();
    EXPECT_EQ(huge.height, static_cast<int>(4 * scale->maximum));
}

// An output beyond the GPU's texture size is refused while negotiating, with the limit named,
// instead of failing on the first frame.
TEST_F(VelmoUpscaleElementTest, RefusesOutputsBeyondTheTextureSizeLimit)
{
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    const int width = limit / 4 + 1;
    UpscaleHarness pipeline(config_property() + " scale=4");
    EXPECT_EQ(pipeline.upscale(random_image(width, 2, 10)).width, 0);
    EXPECT_EQ(pipeline.last_flow(), GST_FLOW_NOT_NEGOTIATED);
    const std::string error = pipeline.error();
    EXPECT_NE(error.find("texture-size limit (GL_MAX_TEXTURE_SIZE) is " + std::to_string(limit)), std::string::npos)
        << error;
}

// level and priority take their names, as gst-launch passes them, and velmo's numbers.
TEST_F(VelmoUpscaleElementTest, LevelAndPriorityTakeNamesAndNumbers)
{
    GstElement* element = gst_element_factory_make("velmoupscale", nullptr);
    ASSERT_NE(element, nullptr);
    struct Case {
        const char* property;
        const char* text;
        int value;
    };
    for (const Case& c : {Case{"level", "strong", 1}, Case{"level", "light", 3}, Case{"level", "0", 0},
                          Case{"level", "2", 2}, Case{"priority", "large-frames", 1}, Case{"priority", "never", 0},
                          Case{"priority", "3", 3}, Case{"priority", "always", 2}}) {
        gst_util_set_object_arg(G_OBJECT(element), c.property, c.text);
        int value = -1;
        g_object_get(element, c.property, &value, nullptr);
        EXPECT_EQ(value, c.value) << c.property << "=" << c.text;
    }
    gst_object_unref(element);
}

// Interlaced frames do not negotiate (velmo would scale the woven fields), and the error and the
// element's debug category say why; progressive ones do.
TEST_F(VelmoUpscaleElementTest, RefusesInterlacedFramesByName)
{
    const RgbaImage picture = random_image(16, 12, 9);
    GstLogCapture log;
    UpscaleHarness interlaced(config_property());
    EXPECT_EQ(interlaced.upscale(picture, ",interlace-mode=interleaved").width, 0);
    EXPECT_EQ(interlaced.last_flow(), GST_FLOW_NOT_NEGOTIATED);
    const std::string error = interlaced.error();
    EXPECT_NE(error.find("does not support interlaced video"), std::string::npos) << error;
    EXPECT_NE(error.find("deinterlace"), std::string::npos) << error;
    EXPECT_NE(log.finish().find("interlaced video"), std::string::npos);
    UpscaleHarness progressive(config_property());
    EXPECT_EQ(progressive.upscale(picture, ",interlace-mode=progressive").width, 24) << progressive.error();
}

// The caps of the other pad, as the element answers a caps query.
GstCaps* transform(GstElement* element, GstPadDirection direction, GstCaps* caps)
{
    return GST_BASE_TRANSFORM_GET_CLASS(element)->transform_caps(GST_BASE_TRANSFORM(element), direction, caps, nullptr);
}

// Output caps carry velmo's truncated size (720 x 1.3 is 935.99994 in single precision), and an
// output size leads back to exactly the input sizes that give it.
TEST_F(VelmoUpscaleElementTest, CapsCarryTheTruncatedSizeBothWays)
{
    GstElement* element = gst_element_factory_make("velmoupscale", nullptr);
    ASSERT_NE(element, nullptr);
    struct Case {
        float scale;
        int width, height, out_width, out_height;
    };
    // A side below one pixel keeps one, so the last case leads back to more inputs than its own.
    for (const Case& c : {Case{1.5f, 1280, 720, 1920, 1080}, Case{1.3f, 1280, 720, 1664, 935},
                          Case{2.0f, 7, 5, 14, 10}, Case{0.5f, 3, 1, 1, 1}}) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        g_object_set(element, "scale", c.scale, nullptr);
        GstCaps* input = gst_caps_from_string(("video/x-raw(memory:GLMemory),format=RGBA,texture-target=2D,width=" +
                                               std::to_string(c.width) + ",height=" + std::to_string(c.height) +
                                               ",framerate=25/1,pixel-aspect-ratio=4/3")
                                                  .c_str());
        GstCaps* transformed = transform(element, GST_PAD_SINK, input);
        ASSERT_FALSE(gst_caps_is_empty(transformed));
        GstStructure* s = gst_caps_get_structure(transformed, 0);
        int width = 0, height = 0, par_n = 0, par_d = 0;
        gst_structure_get_int(s, "width", &width);
        gst_structure_get_int(s, "height", &height);
        gst_structure_get_fraction(s, "pixel-aspect-ratio", &par_n, &par_d);
        EXPECT_EQ(width, c.out_width);
        EXPECT_EQ(height, c.out_height);
        EXPECT_EQ(par_n * 3, par_d * 4);
        GstCaps* back = transform(element, GST_PAD_SRC, transformed);
        if (c.scale < 1.0f)
            EXPECT_TRUE(gst_caps_is_subset(input, back)) << gst_caps_to_string(back);
        else
            EXPECT_TRUE(gst_caps_is_equal(input, back)) << gst_caps_to_string(back);
        gst_caps_unref(back);
        gst_caps_unref(transformed);
        gst_caps_unref(input);
    }
    gst_object_unref(element);
}

// A new input size mid-stream and a new scale while playing (also one that needs another number of
// passes) both give frames of the new output size, and each is velmo's picture.
TEST_F(VelmoUpscaleElementTest, SizeAndScaleChangeMidStream)
{
    UpscaleHarness pipeline(config_property());
    const RgbaImage small = random_image(32, 24, 1);
    const RgbaImage large = random_image(48, 36, 2);
    const ImageTolerance within_one{1, 1.0, 1.0, true};

    EXPECT_TRUE(images_match("gst_before", pipeline.upscale(small), velmo_draws(small, element_defaults(), 1.5f),
                             within_one)) << pipeline.error();
    EXPECT_TRUE(images_match("gst_resized", pipeline.upscale(large), velmo_draws(large, element_defaults(), 1.5f),
                             within_one)) << pipeline.error();
    g_object_set(pipeline.element(), "scale", 2.0f, nullptr);
    EXPECT_TRUE(images_match("gst_rescaled", pipeline.upscale(large), velmo_draws(large, element_defaults(), 2.0f),
                             within_one)) << pipeline.error();
    g_object_set(pipeline.element(), "level", 1, nullptr);
    velmo_init_params strong = element_defaults();
    strong.sr_level = 1;
    EXPECT_TRUE(images_match("gst_relevelled", pipeline.upscale(large), velmo_draws(large, strong, 2.0f),
                             within_one)) << pipeline.error();
    // From one pass to two and back.
    g_object_set(pipeline.element(), "scale", 2.5f, nullptr);
    velmo_init_params unsharpened = element_defaults();
    unsharpened.sr_level = 0;
    unsharpened.custom_sharpness = 0.0f;
    RgbaImage doubled = velmo_draws(large, unsharpened, 2.0f);
    EXPECT_TRUE(images_match("gst_two_passes", pipeline.upscale(large), velmo_draws(doubled, strong, 1.25f),
                             within_one)) << pipeline.error();
    g_object_set(pipeline.element(), "scale", 1.5f, nullptr);
    EXPECT_TRUE(images_match("gst_one_pass_again", pipeline.upscale(large), velmo_draws(large, strong, 1.5f),
                             within_one)) << pipeline.error();
}

// Starts, flushing seeks, EOS and PLAYING -> NULL -> PLAYING cycles: every run plays to its end,
// and velmo instances come one at a time, each released before the next (and all at the end).
TEST_F(VelmoUpscaleElementTest, RepeatedRunsKeepOneInstanceAtATime)
{
    GstElement* pipeline = parse_pipeline("videotestsrc num-buffers=4 ! video/x-raw,width=24,height=16 ! glupload ! "
                                          "velmoupscale " + config_property() + " ! gldownload ! fakesink");
    GstLogCapture log;
    for (int run = 0; run < 3; ++run)
        EXPECT_EQ(run_to_end(pipeline), "") << "run " << run;

    // A flushing seek back to the start while paused, then play to the end.
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    ASSERT_NE(gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND), GST_STATE_CHANGE_FAILURE);
    EXPECT_TRUE(gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0));
    EXPECT_EQ(run_to_end(pipeline), "");
    gst_object_unref(pipeline);
    std::string text = log.finish();

    int live = 0;
    int created = 0;
    for (size_t at = 0; (at = text.find("velmo_", at)) != std::string::npos; ++at) {
        if (text.compare(at, 17, "velmo_init versio") == 0) {
            ++created;
            EXPECT_EQ(++live, 1) << "a second instance while one is alive";
        } else if (text.compare(at, 14, "velmo_release\n") == 0) {
            --live;
        }
    }
    EXPECT_EQ(created, 4);
    EXPECT_EQ(live, 0);
}

// Left to itself GStreamer gives EGL contexts desktop OpenGL; the element asks for OpenGL ES.
TEST_F(VelmoUpscaleElementTest, AsksForOpenGlEsWhereGStreamerWouldPickDesktopGl)
{
    g_unsetenv("GST_GL_API");
    UpscaleHarness pipeline(config_property());
    EXPECT_EQ(pipeline.upscale(random_image(8, 8, 3)).width, 12) << pipeline.error();
    GstGLContext* context = nullptr;
    g_object_get(pipeline.element(), "context", &context, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(gst_gl_context_get_gl_api(context), GST_GL_API_GLES2);
    gst_object_unref(context);
}

} // namespace
} // namespace velmo_test
