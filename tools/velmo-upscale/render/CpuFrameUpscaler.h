// The CPU backend: velmo's CPU pass (SR_UpscaleRGBA, or SR_StretchRGBA where velmo would only
// stretch) through the plan's passes, each frame's rows spread over a small pool of the tool's own
// threads. Needs no EGL context, so it runs on machines without any GL driver.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "FrameSizes.h"
#include "FrameUpscaler.h"
#include "client/BandThreads.h"
#include "client/CpuPasses.h"

namespace velmo_upscale {

class CpuFrameUpscaler : public FrameUpscaler {
public:
    // `why` says, where not empty, why auto chose the CPU ("llvmpipe (...) is a software
    // rasteriser"); the summary repeats it.
    CpuFrameUpscaler(const Options& options, int width, int height, const ScalePlan& plan, const std::string& why);

    void start(const RgbaImage& frame, int64_t index) override;
    void finish(const PixelUse& use) override;
    RgbaImage stretched_alpha(const RgbaImage& frame) override;
    std::string backend_text() const override;

private:
    velmo_client::CpuPasses& passes_for(const RgbaImage& frame, int64_t index, RgbaImage& stretched);

    Options _options;
    ScalePlan _plan;
    std::string _why;
    FrameSizes _sizes;
    velmo_client::BandThreads _threads;
    std::map<FrameSizes::Size, std::unique_ptr<velmo_client::CpuPasses>> _passes;
    // Drawn and not finished yet, oldest first; finished pictures are kept for reuse.
    std::deque<RgbaImage> _drawn;
    std::deque<RgbaImage> _spare;
};

} // namespace velmo_upscale
