// One velmo instance for the stream on GStreamer's GL thread: created for the frame size and
// settings, replaced when they change, every frame drawn by velmo and copied into the buffer.
#pragma once

#include <gst/gl/gl.h>
#include <gst/gl/gstglfuncs.h>

#include <string>

#include "VelmoSettings.h"

namespace velmo_gst {

class VelmoStream {
public:
    // Every method runs on the GL thread of `context`, with that context current.
    explicit VelmoStream(GstGLContext* context);
    ~VelmoStream();
    VelmoStream(const VelmoStream&) = delete;
    VelmoStream& operator=(const VelmoStream&) = delete;

    // Upscales the RGBA 2D texture `input` (width x height) at settings.scale into `output`,
    // whose size must be velmo's output size. A new instance is made first when the frame size
    // or a setting other than the scale changed; a new scale goes to the running instance. Returns an empty text, or what went wrong.
    std::string draw(const VelmoSettings& settings, GLuint input, int width, int height, GLuint output,
                     int output_width, int output_height);

    // Releases the instance (the next draw creates one).
    void release();

private:
    std::string create(const VelmoSettings& settings, int width, int height);
    void copy(GLuint source, GLuint target, int width, int height);

    GstGLContext* _context;
    void* _instance = nullptr;
    VelmoSettings _settings;
    int _width = 0;
    int _height = 0;
    GLuint _framebuffers[2] = {0, 0};
};

} // namespace velmo_gst
