// One velmo instance driven as a player drives it: each frame goes in as a texture of the tool's
// context, velmo's output texture is read back.
#pragma once

#include <string>

#include "Options.h"
#include "RgbaImage.h"
#include "client/GlTexture.h"
#include "client/TextureReader.h"

namespace velmo_upscale {

using velmo_client::GlTexture;
using velmo_client::TextureReader;

// A picture velmo drew: its output texture, valid until the instance draws again.
struct DrawnTexture {
    GLuint texture = 0;
    int width = 0;
    int height = 0;
};

class VelmoUpscaler {
public:
    // Creates the instance for frames of width x height drawn at `scale` (at most 2); the tool's
    // context must be current. Throws ToolError(kExitUsage) when the scale leaves nothing to draw.
    VelmoUpscaler(const Options& options, const std::string& config_folder, int width, int height, float scale);
    ~VelmoUpscaler();
    VelmoUpscaler(const VelmoUpscaler&) = delete;
    VelmoUpscaler& operator=(const VelmoUpscaler&) = delete;

    int output_width() const { return _output_width; }
    int output_height() const { return _output_height; }

    // Upscales one frame of the instance's size into `result`. While velmo sets itself up it hands
    // the input back instead of drawing; the frame then goes in again until velmo draws it, so
    // every result is velmo's own picture. Throws ToolError(kExitGpu) when velmo refuses.
    void upscale(const RgbaImage& frame, RgbaImage& result);
    // The same in two steps, so that the caller may drop its copy of the frame in between: GL
    // holds the frame once upload() returns.
    void upload(const RgbaImage& frame);
    void draw(RgbaImage& result);
    // Draws a texture of the instance's size (the uploaded frame, or another instance's output)
    // and leaves the result on the GPU.
    DrawnTexture draw_texture(GLuint input);

    // The texture the last frame was uploaded to, for drawing a plain stretch beside.
    const GlTexture& input_texture() const { return _input; }

private:
    bool _quiet;
    void* _instance = nullptr;
    int _width;
    int _height;
    int _output_width = 0;
    int _output_height = 0;
    GlTexture _input;
    TextureReader _reader;
};

} // namespace velmo_upscale
