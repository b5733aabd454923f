// GStreamer for the element's tests: the build tree's plugin, a headless GL context, pipelines
// run to their end, frames pushed in and pulled out on GStreamer's test harness.
#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/PlayerGLTest.h"

namespace velmo_test {

// Initialises GStreamer once with the build tree's plugin visible (and a registry of its own).
// GL contexts are EGL + OpenGL ES on Mesa's headless device unless the environment says otherwise.
void init_gstreamer();

// Runs a pipeline until EOS or an error; returns "" or the error text (with its debug details).
// Gives up with an error after `timeout_seconds`.
std::string run_to_end(GstElement* pipeline, int timeout_seconds = 60);

// A pipeline from a gst-launch description; fails the test when it cannot be built.
GstElement* parse_pipeline(const std::string& description);

// velmoupscale (named "up") between glupload and gldownload on GStreamer's test harness: frames go
// in as RGBA system memory and come out the same way, in PLAYING from the start.
class UpscaleHarness {
public:
    explicit UpscaleHarness(const std::string& element_properties);
    ~UpscaleHarness();
    UpscaleHarness(const UpscaleHarness&) = delete;
    UpscaleHarness& operator=(const UpscaleHarness&) = delete;

    GstElement* element() const { return _element; }
    // Pushes one picture (caps follow its size, and `caps_fields` are added to them, e.g.
    // ",interlace-mode=interleaved") and returns the frame that comes out; an empty image when none
    // came. The push runs through all three elements before it returns.
    RgbaImage upscale(const RgbaImage& picture, const std::string& caps_fields = "");
    // What the last push returned.
    GstFlowReturn last_flow() const { return _flow; }
    // The first error message the elements posted, or "".
    std::string error() const;

private:
    GstHarness* _harness = nullptr;
    GstBus* _bus = nullptr;
    GstElement* _element = nullptr;
    std::string _caps;
    GstFlowReturn _flow = GST_FLOW_OK;
    int _frames = 0;
};

} // namespace velmo_test
