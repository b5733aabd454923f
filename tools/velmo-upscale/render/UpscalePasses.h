// One or more velmo instances in a row, each at most 2x, that together draw a frame at the
// planned output size, sharpening only in the last; each pass samples the one before's output
// texture, so a frame stays on the GPU until it is read back. Checked against the context's
// texture limit before any frame is decoded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Options.h"
#include "RgbaImage.h"
#include "ScalePlan.h"
#include "VelmoUpscaler.h"
#include "client/EglSession.h"

namespace velmo_upscale {

using velmo_client::EglSession;

class UpscalePasses {
public:
    // Throws ToolError(kExitInput) when the input's size exceeds the context's GL_MAX_TEXTURE_SIZE,
    // ToolError(kExitUsage) when the planned output does, naming the limit either way; `what` names
    // the input ("'in.png'").
    UpscalePasses(const EglSession& session, const Options& options, const std::string& config_folder, int width,
                  int height, const ScalePlan& plan, const std::string& what);

    int output_width() const { return _passes.back()->output_width(); }
    int output_height() const { return _passes.back()->output_height(); }
    size_t pass_count() const { return _passes.size(); }

    // Every pass in turn; `result` ends at the planned size. Throws ToolError(kExitGpu).
    void upscale(const RgbaImage& frame, RgbaImage& result);
    // The same in two steps: after upload() the caller's frame is no longer needed.
    void upload(const RgbaImage& frame);
    void draw(RgbaImage& result);
    // Every pass on the uploaded frame; the result stays on the GPU (velmo's texture of the last
    // pass, valid until the passes draw again).
    DrawnTexture draw_texture();

    // The texture the last frame was uploaded to, for drawing a plain stretch beside.
    const GlTexture& input_texture() const { return _passes.front()->input_texture(); }

private:
    std::vector<std::unique_ptr<VelmoUpscaler>> _passes;
    TextureReader _reader;
};

} // namespace velmo_upscale
