// GStreamer for the element's tests: the build tree's plugin, a headless GL context, pipelines
// run to their end, frames pushed in and pulled out on GStreamer's test harness.
#include "GstTestSupport.h"

#include <gst/video/video.h>

#include <cstring>

namespace velmo_test {

void init_gstreamer()
{
    static bool initialised = [] {
        g_setenv("GST_PLUGIN_PATH", VELMO_GST_PLUGIN_DIR, TRUE);
        g_setenv("GST_REGISTRY", VELMO_GST_REGISTRY, TRUE);
        // Scanning in-process keeps sanitizer runtimes out of the plugin scanner.
        g_setenv("GST_REGISTRY_FORK", "no", TRUE);
        g_setenv("GST_GL_PLATFORM", "egl", FALSE);
        g_setenv("GST_GL_WINDOW", "egl-device", FALSE);
        g_setenv("GST_GL_API", "gles2", FALSE);
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)initialised;
}

std::string run_to_end(GstElement* pipeline, int timeout_seconds)
{
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        return "the pipeline does not start";
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, static_cast<GstClockTime>(timeout_seconds) * GST_SECOND,
                                                     static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    std::string result;
    if (!message) {
        result = "no end within " + std::to_string(timeout_seconds) + " s";
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gchar* details = nullptr;
        gst_message_parse_error(message, &error, &details);
        result = std::string(error->message) + " (" + (details ? details : "") + ")";
        g_error_free(error);
        g_free(details);
    }
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return result;
}

GstElement* parse_pipeline(const std::string& description)
{
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    EXPECT_EQ(error, nullptr) << description << ": " << (error ? error->message : "");
    if (error)
        g_error_free(error);
    return pipeline;
}

UpscaleHarness::UpscaleHarness(const std::string& element_properties)
{
    _harness = gst_harness_new_parse(
        ("glupload ! velmoupscale name=up " + element_properties + " ! gldownload ! capsfilter caps=video/x-raw,format=RGBA").c_str());
    // The harness keeps no bus; one of our own collects the elements' errors.
    _bus = gst_bus_new();
    gst_element_set_bus(_harness->element, _bus);
    _element = gst_bin_get_by_name(GST_BIN(_harness->element), "up");
}

UpscaleHarness::~UpscaleHarness()
{
    gst_object_unref(_element);
    gst_harness_teardown(_harness);
    gst_object_unref(_bus);
}

RgbaImage UpscaleHarness::upscale(const RgbaImage& picture, const std::string& caps_fields)
{
    std::string caps = "video/x-raw,format=RGBA,width=" + std::to_string(picture.width) +
                       ",height=" + std::to_string(picture.height) + ",framerate=10/1" + caps_fields;
    if (caps != _caps) {
        gst_harness_set_src_caps_str(_harness, caps.c_str());
        _caps = caps;
    }
    GstBuffer* buffer = gst_buffer_new_memdup(picture.pixels.data(), picture.pixels.size());
    GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(_frames) * GST_SECOND / 10;
    GST_BUFFER_DURATION(buffer) = GST_SECOND / 10;
    ++_frames;
    _flow = gst_harness_push(_harness, buffer);

    RgbaImage result;
    GstBuffer* output = gst_harness_try_pull(_harness);
    if (!output)
        return result;
    GstCaps* output_caps = gst_pad_get_current_caps(_harness->sinkpad);
    GstVideoInfo info;
    gst_video_info_from_caps(&info, output_caps);
    gst_caps_unref(output_caps);
    GstVideoFrame frame;
    if (gst_video_frame_map(&frame, &info, output, GST_MAP_READ)) {
        result = RgbaImage(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const auto* rows = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        for (int y = 0; y < result.height; ++y)
            std::memcpy(result.at(0, y), rows + static_cast<size_t>(y) * stride, static_cast<size_t>(result.width) * 4);
        gst_video_frame_unmap(&frame);
    }
    gst_buffer_unref(output);
    return result;
}

std::string UpscaleHarness::error() const
{
    GstMessage* message = gst_bus_pop_filtered(_bus, GST_MESSAGE_ERROR);
    std::string text;
    if (message) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        text = error->message;
        g_error_free(error);
        gst_message_unref(message);
    }
    return text;
}

} // namespace velmo_test
