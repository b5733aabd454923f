// The velmo instances for the stream on GStreamer's GL thread (one per pass, one pass up to 2x):
// created for the frame size and settings, replaced when they change, every frame drawn by velmo
// and copied into the buffer.
#pragma once

#include <gst/gl/gl.h>
#include <gst/gl/gstglfuncs.h>

#include <string>
#include <vector>

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
    // whose size must be the element's output size (output_length of each side); where the scale
    // leaves a side below one pixel, velmo draws at drawable_scale and the result is stretched to
    // it. Above 2x the passes run one after the other on the
    // GPU, each drawing from the previous one's texture; only the last one sharpens, so the
    // sharpening is applied once. New instances are made first when the frame size, the number of
    // passes or a setting other than the scale changed; a new scale goes to the running instances.
    // Returns an empty text, or what went wrong.
    std::string draw(const VelmoSettings& settings, GLuint input, int width, int height, GLuint output,
                     int output_width, int output_height);

    // Releases the instances (the next draw creates them).
    void release();

private:
    struct Pass {
        void* instance;
        int width;  // the pass's input size
        int height;
        float scale;
    };

    std::string create(const VelmoSettings& settings, int width, int height, const std::vector<float>& scales);
    std::string rescale(const std::vector<float>& scales);
    std::string process(Pass& pass, GLuint input, velmo_output_frame& out);
    // Copies width x height of `source` onto target_width x target_height of `target`, stretched
    // (linear) where the sizes differ.
    void copy(GLuint source, GLuint target, int width, int height, int target_width, int target_height);

    GstGLContext* _context;
    std::vector<Pass> _passes;
    VelmoSettings _settings;
    int _width = 0;
    int _height = 0;
    GLuint _framebuffers[2] = {0, 0};
};

} // namespace velmo_gst
