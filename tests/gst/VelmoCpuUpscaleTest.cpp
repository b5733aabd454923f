// The velmocpuupscale element on GStreamer's test harness, without any GL: its frames against
// velmo's CPU pass called directly, its caps, and its properties.
#include <gst/base/gstbasetransform.h>
#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "client/Settings.h"
#include "velmo/velmo_cpu.h"

namespace {

void init_gstreamer()
{
    static bool initialised = [] {
        g_setenv("GST_PLUGIN_PATH", VELMO_GST_PLUGIN_DIR, TRUE);
        g_setenv("GST_REGISTRY", VELMO_GST_REGISTRY, TRUE);
        g_setenv("GST_REGISTRY_FORK", "no", TRUE);
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)initialised;
}

// An RGBA picture with edges, gradients and skin-like tones, rows of width * 4 bytes.
std::vector<uint8_t> test_picture(int width, int height)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    uint32_t state = 12345;
    for (size_t i = 0; i < pixels.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        size_t pixel = i / 4;
        int x = static_cast<int>(pixel % static_cast<size_t>(width));
        int y = static_cast<int>(pixel / static_cast<size_t>(width));
        int base = (x < width / 2) == (y < height / 2) ? 200 : 60;
        pixels[i] = static_cast<uint8_t>(base + static_cast<int>(state >> 28));
    }
    return pixels;
}

// One frame through the element in PLAYING on the harness; the output's rows packed, or empty.
struct Output {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

Output through_element(const std::string& description, const std::vector<uint8_t>& picture, int width, int height)
{
    GstHarness* harness = gst_harness_new_parse(description.c_str());
    gst_harness_set_src_caps_str(harness, ("video/x-raw,format=RGBA,framerate=25/1,width=" + std::to_string(width) +
                                           ",height=" + std::to_string(height))
                                              .c_str());
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, picture.size(), nullptr);
    gst_buffer_fill(buffer, 0, picture.data(), picture.size());
    GstBuffer* result = gst_harness_push_and_pull(harness, buffer);
    Output output;
    GstCaps* caps = gst_pad_get_current_caps(harness->sinkpad);
    GstVideoInfo info;
    if (result && caps && gst_video_info_from_caps(&info, caps)) {
        GstVideoFrame frame;
        if (gst_video_frame_map(&frame, &info, result, GST_MAP_READ)) {
            output.width = GST_VIDEO_FRAME_WIDTH(&frame);
            output.height = GST_VIDEO_FRAME_HEIGHT(&frame);
            const uint8_t* data = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
            for (int y = 0; y < output.height; ++y) {
                const uint8_t* row = data + static_cast<size_t>(y) * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
                output.pixels.insert(output.pixels.end(), row, row + output.width * 4);
            }
            gst_video_frame_unmap(&frame);
        }
    }
    if (caps)
        gst_caps_unref(caps);
    if (result)
        gst_buffer_unref(result);
    gst_harness_teardown(harness);
    return output;
}

// velmo's CPU pass over the whole picture in one call, as the element's settings give it.
std::vector<uint8_t> cpu_pass(const std::vector<uint8_t>& picture, int width, int height, int out_width,
                              int out_height, const velmo_client::Settings& settings, bool upscale)
{
    std::vector<uint8_t> result(static_cast<size_t>(out_width) * out_height * 4);
    velmo_init_params params = settings.init_params("");
    int status = upscale ? kx_velmo::SR_UpscaleRGBA(picture.data(), width * 4, width, height, result.data(),
                                                    out_width * 4, out_width, out_height, 0, out_height, &params)
                         : kx_velmo::SR_StretchRGBA(picture.data(), width * 4, width, height, result.data(),
                                                    out_width * 4, out_width, out_height, 0, out_height);
    EXPECT_EQ(status, 0);
    return result;
}

class VelmoCpuUpscaleTest : public ::testing::Test {
protected:
    void SetUp() override { init_gstreamer(); }
};

// The element's bands, drawn on its threads, put together exactly what one call of the CPU pass
// draws: with the default settings, with the others passed on, in two passes above 2x
// (sharpening only in the last), and on the plain path.
TEST_F(VelmoCpuUpscaleTest, FramesAreWhatTheCpuPassDraws)
{
    const int width = 41;
    const int height = 30;
    const std::vector<uint8_t> picture = test_picture(width, height);
    velmo_client::Settings defaults;

    Output shown = through_element("velmocpuupscale", picture, width, height);
    ASSERT_EQ(shown.width, 61);
    ASSERT_EQ(shown.height, 45);
    EXPECT_TRUE(shown.pixels == cpu_pass(picture, width, height, 61, 45, defaults, true));

    velmo_client::Settings custom = defaults;
    custom.level = 0;
    custom.sharpness = 3.0f;
    custom.smooth = true;
    custom.sigma_s = 2.0f;
    custom.face_protection = true;
    custom.edge_adaptive = false;
    shown = through_element("velmocpuupscale scale=2 sharpness=3 smooth=true sigma-s=2 face-protection=true "
                            "edge-adaptive=false",
                            picture, width, height);
    EXPECT_TRUE(shown.pixels == cpu_pass(picture, width, height, 82, 60, custom, true));

    velmo_client::Settings unsharpened = defaults;
    unsharpened.level = 0;
    unsharpened.sharpness = 0.0f;
    std::vector<uint8_t> doubled = cpu_pass(picture, width, height, 82, 60, unsharpened, true);
    shown = through_element("velmocpuupscale scale=3.5", picture, width, height);
    ASSERT_EQ(shown.width, 143);
    ASSERT_EQ(shown.height, 105);
    EXPECT_TRUE(shown.pixels == cpu_pass(doubled, 82, 60, 143, 105, defaults, true));

    shown = through_element("velmocpuupscale priority=never", picture, width, height);
    EXPECT_TRUE(shown.pixels == cpu_pass(picture, width, height, 61, 45, defaults, false));
}

// Output caps carry the truncated size (720 x 1.3 is 935.99994 in single precision), an output
// size leads back to the input sizes that give it, and a side never goes below one pixel.
TEST_F(VelmoCpuUpscaleTest, CapsCarryTheTruncatedSize)
{
    GstElement* element = gst_element_factory_make("velmocpuupscale", nullptr);
    ASSERT_NE(element, nullptr);
    g_object_set(element, "scale", 1.3f, nullptr);
    GstCaps* input = gst_caps_from_string("video/x-raw,format=RGBA,width=1280,height=720,framerate=25/1");
    GstBaseTransformClass* transform = GST_BASE_TRANSFORM_GET_CLASS(element);
    GstCaps* output = transform->transform_caps(GST_BASE_TRANSFORM(element), GST_PAD_SINK, input, nullptr);
    int out_width = 0;
    int out_height = 0;
    gst_structure_get_int(gst_caps_get_structure(output, 0), "width", &out_width);
    gst_structure_get_int(gst_caps_get_structure(output, 0), "height", &out_height);
    EXPECT_EQ(out_width, 1664);
    EXPECT_EQ(out_height, 935);
    GstCaps* back = transform->transform_caps(GST_BASE_TRANSFORM(element), GST_PAD_SRC, output, nullptr);
    EXPECT_TRUE(gst_caps_is_equal(input, back)) << gst_caps_to_string(back);
    gst_caps_unref(back);
    gst_caps_unref(output);
    gst_caps_unref(input);
    gst_object_unref(element);

    // A side that would come out below one pixel keeps one, as with velmoupscale.
    Output tiny = through_element("velmocpuupscale scale=0.01", test_picture(200, 30), 200, 30);
    EXPECT_EQ(tiny.width, 2);
    EXPECT_EQ(tiny.height, 1);
}

// Interlaced frames do not negotiate (velmo would scale the woven fields), and the error says why
// and what to put in front, as velmoupscale's does.
TEST_F(VelmoCpuUpscaleTest, RefusesInterlacedFramesByName)
{
    GstHarness* harness = gst_harness_new("velmocpuupscale");
    GstBus* bus = gst_bus_new();
    gst_element_set_bus(harness->element, bus);
    gst_harness_set_src_caps_str(harness, "video/x-raw,format=RGBA,width=16,height=12,framerate=25/1,"
                                          "interlace-mode=interleaved");
    EXPECT_EQ(gst_harness_push(harness, gst_buffer_new_allocate(nullptr, 16 * 12 * 4, nullptr)),
              GST_FLOW_NOT_NEGOTIATED);
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    ASSERT_NE(message, nullptr);
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const std::string text = error->message;
    EXPECT_NE(text.find("velmocpuupscale does not support interlaced video (interlace-mode interleaved)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("deinterlace"), std::string::npos) << text;
    g_error_free(error);
    gst_message_unref(message);
    gst_element_set_bus(harness->element, nullptr);
    gst_object_unref(bus);
    gst_harness_teardown(harness);
}

// level and priority take their names and velmo's numbers; setting the sharpness selects level 0;
// every property of velmoupscale is there.
TEST_F(VelmoCpuUpscaleTest, PropertiesAreVelmoupscales)
{
    GstElement* cpu = gst_element_factory_make("velmocpuupscale", nullptr);
    GstElement* gl = gst_element_factory_make("velmoupscale", nullptr);
    ASSERT_NE(cpu, nullptr);
    ASSERT_NE(gl, nullptr);
    guint count = 0;
    GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(gl), &count);
    for (guint i = 0; i < count; ++i) {
        if (specs[i]->owner_type == G_OBJECT_TYPE(gl)) {
            EXPECT_NE(g_object_class_find_property(G_OBJECT_GET_CLASS(cpu), specs[i]->name), nullptr)
                << specs[i]->name;
        }
    }
    g_free(specs);

    struct Case {
        const char* property;
        const char* text;
        int value;
    };
    for (const Case& c : {Case{"level", "strong", 1}, Case{"level", "3", 3}, Case{"priority", "large-frames", 1},
                          Case{"priority", "0", 0}}) {
        gst_util_set_object_arg(G_OBJECT(cpu), c.property, c.text);
        int value = -1;
        g_object_get(cpu, c.property, &value, nullptr);
        EXPECT_EQ(value, c.value) << c.property << "=" << c.text;
    }
    g_object_set(cpu, "sharpness", 0.5f, nullptr);
    int level = -1;
    g_object_get(cpu, "level", &level, nullptr);
    EXPECT_EQ(level, 0);
    gst_object_unref(gl);
    gst_object_unref(cpu);
}

} // namespace
