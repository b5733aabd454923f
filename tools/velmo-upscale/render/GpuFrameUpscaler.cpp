// Frames through velmo_process on the tool's context, read back through pixel buffers.
#include "GpuFrameUpscaler.h"

#include "StretchBlit.h"
#include "ToolError.h"

namespace velmo_upscale {

GpuFrameUpscaler::GpuFrameUpscaler(std::unique_ptr<EglSession> session, const Options& options,
                                   const std::string& config_folder, int width, int height, const ScalePlan& plan,
                                   const std::string& what)
    : _session(std::move(session)), _passes(*_session, options, config_folder, width, height, plan, what),
      _sizes(_passes, *_session, options, config_folder, width, height, plan, what)
{
}

// Each upload waits for the context's work, the read-back of the frame before included, so velmo
// never draws over a texture that is still being copied.
void GpuFrameUpscaler::start(const RgbaImage& frame, int64_t index)
{
    const DrawnTexture out = _sizes.upscale(frame, index);
    if (!_readback.start(out.texture, out.width, out.height))
        throw ToolError(kExitGpu, "cannot read velmo's output texture back");
}

void GpuFrameUpscaler::finish(const PixelUse& use)
{
    if (!_readback.finish(use))
        throw ToolError(kExitGpu, "cannot map velmo's output picture read back");
}

// The stretch pass samples the whole RGBA texture; its colour comes along unused.
RgbaImage GpuFrameUpscaler::stretched_alpha(const RgbaImage&)
{
    return velmo_upscale::plain_stretch(_passes.input_texture().name(), _passes.output_width(),
                                        _passes.output_height());
}

std::string GpuFrameUpscaler::backend_text() const
{
    return "gpu: " + _session->renderer();
}

} // namespace velmo_upscale
