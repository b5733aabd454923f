// GStreamer for the element's tests: the build tree's plugin, a headless GL context, pipelines
// run to their end, frames pushed in and pulled out.
#pragma once

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

// appsrc (RGBA system memory, named "in") -> glupload -> velmoupscale (named "up") ->
// gldownload -> appsink (RGBA, named "out"), in PLAYING.
class UpscalePipeline {
public:
    explicit UpscalePipeline(const std::string& element_properties);
    ~UpscalePipeline();
    UpscalePipeline(const UpscalePipeline&) = delete;
    UpscalePipeline& operator=(const UpscalePipeline&) = delete;

    GstElement* element() const { return _element; }
    // Pushes one picture (caps follow its size) and returns the frame that comes out; an empty
    // image when none came within two minutes (sanitized builds on a busy machine are slow).
    RgbaImage upscale(const RgbaImage& picture);
    // The pipeline's first error message, or "".
    std::string error() const;

private:
    GstElement* _pipeline = nullptr;
    GstElement* _source = nullptr;
    GstElement* _element = nullptr;
    GstElement* _sink = nullptr;
    int _frames = 0;
};

} // namespace velmo_test
