// velmoupscale on a display server: glimagesink shows its upscaled frames in a window, and a GLX
// context (GStreamer's choice on X11 unless told otherwise) fails with what to set instead.
#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <string>

#include "gst/GstTestSupport.h"
#include "support/TemporaryDirectory.h"

// Xlib's macros (None, Bool, Status) would clash with GoogleTest's names, so it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace velmo_test {
namespace {

class VelmoUpscaleX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        _display = XOpenDisplay(nullptr);
        if (!_display)
            GTEST_SKIP() << "no X display (Xvfb is not installed)";
        g_setenv("GST_GL_WINDOW", "x11", TRUE);
        init_gstreamer();
    }
    void TearDown() override
    {
        if (_display)
            XCloseDisplay(_display);
    }

    Display* _display = nullptr;
    TemporaryDirectory _config;
};

// A 32x24 red frame, upscaled twice by velmo, fills a 64x48 window pixel for pixel.
TEST_F(VelmoUpscaleX11Test, GlimagesinkShowsUpscaledFrames)
{
    g_setenv("GST_GL_PLATFORM", "egl", TRUE);
    g_setenv("GST_GL_API", "gles2", TRUE);
    Window window = XCreateSimpleWindow(_display, DefaultRootWindow(_display), 0, 0, 64, 48, 0, 0, 0);
    XMapWindow(_display, window);
    XSync(_display, False);

    GstElement* pipeline = parse_pipeline(
        "videotestsrc num-buffers=3 pattern=red ! video/x-raw,width=32,height=24,framerate=10/1 ! glupload ! "
        "velmoupscale scale=2 config-dir=" + _config.path() + " ! glimagesink name=sink force-aspect-ratio=false");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), window);
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                 static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);

    GstSample* last = nullptr;
    g_object_get(sink, "last-sample", &last, nullptr);
    ASSERT_NE(last, nullptr);
    GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(last), 0);
    int width = 0, height = 0;
    gst_structure_get_int(caps, "width", &width);
    gst_structure_get_int(caps, "height", &height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);

    XImage* shown = XGetImage(_display, window, 0, 0, 64, 48, AllPlanes, ZPixmap);
    ASSERT_NE(shown, nullptr);
    int red = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            red += XGetPixel(shown, x, y) == 0xff0000;
    EXPECT_EQ(red, 64 * 48);
    XDestroyImage(shown);

    gst_sample_unref(last);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    XDestroyWindow(_display, window);
}

TEST_F(VelmoUpscaleX11Test, GlxContextFailsWithWhatToSet)
{
    g_unsetenv("GST_GL_PLATFORM");
    g_unsetenv("GST_GL_API");
    // glupload chooses the context. The sink is not a GL one: glimagesink releases its display
    // while the source's thread may still be querying it after the error, and crashes now and then.
    GstElement* pipeline = parse_pipeline("videotestsrc num-buffers=1 ! glupload ! velmoupscale config-dir=" +
                                          _config.path() + " ! fakesink");
    std::string error = run_to_end(pipeline, 30);
    EXPECT_NE(error.find("GST_GL_PLATFORM=egl GST_GL_API=gles2"), std::string::npos) << error;
    gst_object_unref(pipeline);
}

} // namespace
} // namespace velmo_test
