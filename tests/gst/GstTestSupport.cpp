// GStreamer for the element's tests: the build tree's plugin, a headless GL context, pipelines
// run to their end, frames pushed in and pulled out.
#include "GstTestSupport.h"

#include <gst/app/app.h>
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

UpscalePipeline::UpscalePipeline(const std::string& element_properties)
{
    _pipeline = parse_pipeline("appsrc name=in format=time ! glupload ! velmoupscale name=up " + element_properties +
                               " ! gldownload ! video/x-raw,format=RGBA ! appsink name=out sync=false");
    _source = gst_bin_get_by_name(GST_BIN(_pipeline), "in");
    _element = gst_bin_get_by_name(GST_BIN(_pipeline), "up");
    _sink = gst_bin_get_by_name(GST_BIN(_pipeline), "out");
    gst_element_set_state(_pipeline, GST_STATE_PLAYING);
}

UpscalePipeline::~UpscalePipeline()
{
    gst_element_set_state(_pipeline, GST_STATE_NULL);
    gst_object_unref(_source);
    gst_object_unref(_element);
    gst_object_unref(_sink);
    gst_object_unref(_pipeline);
}

RgbaImage UpscalePipeline::upscale(const RgbaImage& picture)
{
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBA", "width", G_TYPE_INT,
                                        picture.width, "height", G_TYPE_INT, picture.height, "framerate",
                                        GST_TYPE_FRACTION, 10, 1, nullptr);
    gst_app_src_set_caps(GST_APP_SRC(_source), caps);
    gst_caps_unref(caps);
    GstBuffer* buffer = gst_buffer_new_memdup(picture.pixels.data(), picture.pixels.size());
    GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(_frames) * GST_SECOND / 10;
    GST_BUFFER_DURATION(buffer) = GST_SECOND / 10;
    ++_frames;
    gst_app_src_push_buffer(GST_APP_SRC(_source), buffer);

    RgbaImage result;
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(_sink), 120 * GST_SECOND);
    if (!sample)
        return result;
    GstVideoInfo info;
    gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
    GstVideoFrame frame;
    if (gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
        result = RgbaImage(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const auto* rows = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        for (int y = 0; y < result.height; ++y)
            std::memcpy(result.at(0, y), rows + static_cast<size_t>(y) * stride, static_cast<size_t>(result.width) * 4);
        gst_video_frame_unmap(&frame);
    }
    gst_sample_unref(sample);
    return result;
}

std::string UpscalePipeline::error() const
{
    GstBus* bus = gst_element_get_bus(_pipeline);
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    std::string text;
    if (message) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        text = error->message;
        g_error_free(error);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    return text;
}

} // namespace velmo_test
