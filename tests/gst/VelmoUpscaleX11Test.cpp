// velmoupscale on a display server: glimagesink shows its upscaled frames in a window, and a GLX
// context (GStreamer's choice on X11 unless told otherwise) fails with what to set instead.
#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <string>
#include <vector>

#include "gst/GstTestSupport.h"
#include "support/TemporaryDirectory.h"

// Xlib's macros (None, Bool, Status) would clash with GoogleTest's names, so it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace velmo_test {
namespace {

// Names of this process's threads that GStreamer's GL library runs: each GL context's thread
// and each GL display's event thread.
std::vector<std::string> gl_threads()
{
    std::vector<std::string> names;
    GDir* tasks = g_dir_open("/proc/self/task", 0, nullptr);
    if (!tasks)
        return names;
    while (const char* task = g_dir_read_name(tasks)) {
        gchar* path = g_build_filename("/proc/self/task", task, "comm", nullptr);
        gchar* name = nullptr;
        if (g_file_get_contents(path, &name, nullptr, nullptr)) {
            g_strchomp(name);
            if (g_str_has_prefix(name, "gstglcontext") || g_str_has_prefix(name, "gldisplay-event"))
                names.emplace_back(name);
            g_free(name);
        }
        g_free(path);
    }
    g_dir_close(tasks);
    return names;
}

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
    // GStreamer's GL threads draw into the test's window and talk to the same display server; they
    // end some time after the pipeline is freed. The window and the test's connection go only once
    // those threads have ended, also when a test stopped half-way, so that no GL thread meets a
    // window or a server connection that is gone.
    void TearDown() override
    {
        if (_pipeline) {
            gst_element_set_state(_pipeline, GST_STATE_NULL);
            gst_object_unref(_pipeline);
        }
        gint64 deadline = g_get_monotonic_time() + 30 * G_TIME_SPAN_SECOND;
        while (!gl_threads().empty() && g_get_monotonic_time() < deadline)
            g_usleep(10 * 1000);
        EXPECT_EQ(gl_threads(), std::vector<std::string>{}) << "GStreamer's GL threads outlive the pipeline";
        if (_window)
            XDestroyWindow(_display, _window);
        if (_display)
            XCloseDisplay(_display);
    }

    // The fixture stops and frees the pipeline.
    GstElement* pipeline(const std::string& description)
    {
        _pipeline = parse_pipeline(description);
        return _pipeline;
    }

    Display* _display = nullptr;
    Window _window = 0;
    GstElement* _pipeline = nullptr;
    TemporaryDirectory _config;
};

// How many pixels of the window's width x height are pure red. glimagesink draws into a window of
// its own inside the test's, which follows the test's window's size only after the X server has
// told GStreamer's GL thread about it; frames drawn before that fill only part of the window. So
// while the window does not show the whole frame, glimagesink is asked to draw its last frame
// again, until it does or half a minute has passed.
int red_pixels_shown(Display* display, Window window, GstElement* sink, int width, int height)
{
    int red = 0;
    gint64 deadline = g_get_monotonic_time() + 30 * G_TIME_SPAN_SECOND;
    do {
        XImage* shown = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
        if (!shown)
            return -1;
        red = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                red += XGetPixel(shown, x, y) == 0xff0000;
        XDestroyImage(shown);
        if (red == width * height)
            break;
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(sink));
        g_usleep(20 * 1000);
    } while (g_get_monotonic_time() < deadline);
    return red;
}

// A 32x24 red frame, upscaled twice by velmo, fills a 64x48 window pixel for pixel.
TEST_F(VelmoUpscaleX11Test, GlimagesinkShowsUpscaledFrames)
{
    g_setenv("GST_GL_PLATFORM", "egl", TRUE);
    g_setenv("GST_GL_API", "gles2", TRUE);
    _window = XCreateSimpleWindow(_display, DefaultRootWindow(_display), 0, 0, 64, 48, 0, 0, 0);
    XMapWindow(_display, _window);
    XSync(_display, False);

    GstElement* player = pipeline(
        "videotestsrc num-buffers=3 pattern=red ! video/x-raw,width=32,height=24,framerate=10/1 ! glupload ! "
        "velmoupscale scale=2 config-dir=" + _config.path() + " ! glimagesink name=sink force-aspect-ratio=false");
    ASSERT_NE(player, nullptr);
    // The pipeline holds the sink for as long as the test uses it.
    GstElement* sink = gst_bin_get_by_name(GST_BIN(player), "sink");
    gst_object_unref(sink);
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), _window);
    ASSERT_NE(gst_element_set_state(player, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstBus* bus = gst_element_get_bus(player);
    GstMessage* end = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                 static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);

    EXPECT_EQ(red_pixels_shown(_display, _window, sink, 64, 48), 64 * 48);

    GstSample* last = nullptr;
    g_object_get(sink, "last-sample", &last, nullptr);
    ASSERT_NE(last, nullptr);
    GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(last), 0);
    int width = 0, height = 0;
    gst_structure_get_int(caps, "width", &width);
    gst_structure_get_int(caps, "height", &height);
    gst_sample_unref(last);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
}

TEST_F(VelmoUpscaleX11Test, GlxContextFailsWithWhatToSet)
{
    g_unsetenv("GST_GL_PLATFORM");
    g_unsetenv("GST_GL_API");
    // glupload chooses the context. The sink is not a GL one: glimagesink releases its display
    // while the source's thread may still be querying it after the error, and crashes now and then.
    GstElement* failing =
        pipeline("videotestsrc num-buffers=1 ! glupload ! velmoupscale config-dir=" + _config.path() + " ! fakesink");
    ASSERT_NE(failing, nullptr);
    std::string error = run_to_end(failing, 30);
    EXPECT_NE(error.find("GST_GL_PLATFORM=egl GST_GL_API=gles2"), std::string::npos) << error;
}

} // namespace
} // namespace velmo_test
