// Frames through velmo's CPU pass, drawn in bands on the tool's threads.
#include "CpuFrameUpscaler.h"

#include "ImageOps.h"
#include "Jobs.h"
#include "ToolError.h"
#include "velmo/velmo_cpu.h"

namespace velmo_upscale {

CpuFrameUpscaler::CpuFrameUpscaler(const Options& options, int width, int height, const ScalePlan& plan,
                                   const std::string& why)
    : _options(options), _plan(plan), _why(why), _sizes(options, width, height, plan),
      _threads(velmo_client::BandThreads::machine_threads())
{
}

velmo_client::CpuPasses& CpuFrameUpscaler::passes_for(const RgbaImage& frame, int64_t index, RgbaImage& stretched)
{
    FrameSizes::Size size(frame.width, frame.height);
    const ScalePlan* plan = _sizes.plan_for(size, index);
    if (!plan) {
        // Another shape: stretched to the first size and drawn with the first plan.
        size = _sizes.first_size();
        plan = &_plan;
        stretched = reference_resize(frame, size.first, size.second, CompareFilter::Bicubic);
    }
    std::unique_ptr<velmo_client::CpuPasses>& passes = _passes[size];
    if (!passes) {
        auto made = std::make_unique<velmo_client::CpuPasses>(_options, size.first, size.second, plan->pass_scales);
        // The output pictures are allocated at the plan's size; the passes must fill exactly that.
        if (!made->valid() || made->output_width() != _plan.width || made->output_height() != _plan.height)
            throw ToolError(kExitFailure, "the passes draw " + size_text(made->output_width(), made->output_height()) +
                                              " instead of " + size_text(_plan.width, _plan.height));
        passes = std::move(made);
    }
    return *passes;
}

void CpuFrameUpscaler::start(const RgbaImage& frame, int64_t index)
{
    RgbaImage stretched;
    velmo_client::CpuPasses& passes = passes_for(frame, index, stretched);
    const RgbaImage& input = stretched.pixels.empty() ? frame : stretched;
    if (_spare.empty())
        _spare.emplace_back(_plan.width, _plan.height);
    RgbaImage& output = _spare.front();
    if (!passes.draw(input.pixels.data(), input.width * 4, output.pixels.data(), output.width * 4, _threads))
        throw ToolError(kExitFailure, "velmo's CPU pass refused a " + size_text(input.width, input.height) +
                                          " frame");
    _drawn.push_back(std::move(output));
    _spare.pop_front();
}

void CpuFrameUpscaler::finish(const PixelUse& use)
{
    if (_drawn.empty())
        throw ToolError(kExitFailure, "no frame was drawn to finish");
    RgbaImage& oldest = _drawn.front();
    use(oldest.pixels.data(), oldest.width, oldest.height);
    _spare.push_back(std::move(oldest));
    _drawn.pop_front();
}

// velmo's stretch draws opaque like its other passes, so the alpha goes through it as a grey
// picture and comes back into the alpha channel.
RgbaImage CpuFrameUpscaler::stretched_alpha(const RgbaImage& frame)
{
    RgbaImage grey(frame.width, frame.height);
    for (size_t i = 0; i < frame.pixels.size(); i += 4)
        grey.pixels[i] = grey.pixels[i + 1] = grey.pixels[i + 2] = frame.pixels[i + 3];
    RgbaImage result(_plan.width, _plan.height);
    _threads.draw(result.height, [&](int begin, int end) {
        kx_velmo::SR_StretchRGBA(grey.pixels.data(), grey.width * 4, grey.width, grey.height, result.pixels.data(),
                                 result.width * 4, result.width, result.height, begin, end);
    });
    for (size_t i = 0; i < result.pixels.size(); i += 4)
        result.pixels[i + 3] = result.pixels[i];
    return result;
}

std::string CpuFrameUpscaler::backend_text() const
{
    int count = _threads.count();
    return "cpu: " + std::to_string(count) + (count == 1 ? " thread" : " threads") +
           (_why.empty() ? "" : " (" + _why + ")");
}

} // namespace velmo_upscale
