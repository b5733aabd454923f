// velmo's log records from inside the element: silent by default, in the velmoupscale debug
// category at GStreamer's matching levels when asked for.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>

#include "gst/GstLogCapture.h"
#include "gst/GstTestSupport.h"
#include "support/StderrCapture.h"

namespace velmo_test {
namespace {

TEST(VelmoUpscaleLog, RecordsGoToTheDebugCategoryNotToStderr)
{
    g_unsetenv("GST_DEBUG");
    init_gstreamer();
    // An unwritable config-dir adds an error record to the informational ones.
    GstElement* pipeline = parse_pipeline("videotestsrc num-buffers=2 ! video/x-raw,width=24,height=16 ! glupload ! "
                                          "velmoupscale config-dir=/nonexistent/velmo ! gldownload ! fakesink");

    StderrCapture stderr_capture;
    EXPECT_EQ(run_to_end(pipeline), "");
    const std::string written = stderr_capture.finish();
    EXPECT_EQ(written.find("velmo_init version"), std::string::npos) << written;
    EXPECT_EQ(written.find("configure.ini"), std::string::npos) << written;

    GstLogCapture log;
    EXPECT_EQ(run_to_end(pipeline), "");
    log.finish();
    gst_object_unref(pipeline);

    const struct {
        const char* text_start;
        GstDebugLevel level;
    } expected[] = {
        {"[VelmoApi.cpp(85)] velmo_init version: ", GST_LEVEL_INFO},
        {"[VelmoApi.cpp(230)] open configure.ini failed", GST_LEVEL_ERROR},
        {"I/00000/velmo VideoDecoder: GPUVertexArray", GST_LEVEL_INFO},
        {"[VelmoApi.cpp(292)] velmo_release", GST_LEVEL_INFO},
    };
    const std::vector<GstLogMessage> messages = log.messages();
    for (const auto& want : expected) {
        bool found = false;
        for (const GstLogMessage& message : messages)
            if (message.text.rfind(want.text_start, 0) == 0) {
                found = true;
                EXPECT_EQ(message.level, want.level) << message.text;
                EXPECT_NE(message.text.back(), '\n') << "GStreamer ends the line itself: " << message.text;
            }
        EXPECT_TRUE(found) << "no message starting with " << want.text_start;
    }
}

} // namespace
} // namespace velmo_test
