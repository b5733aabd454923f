// The GPU backend: the tool's headless EGL context, velmo instances for the plan (one per pass and
// frame size), and the read-back through two pixel buffers, so one frame's copy is under way while
// the next is drawn.
#pragma once

#include <memory>
#include <string>

#include "FrameSizeChange.h"
#include "FrameUpscaler.h"
#include "UpscalePasses.h"
#include "client/EglSession.h"
#include "client/PixelBufferReader.h"

namespace velmo_upscale {

class GpuFrameUpscaler : public FrameUpscaler {
public:
    // `session` is current on the calling thread, which makes every later call.
    GpuFrameUpscaler(std::unique_ptr<EglSession> session, const Options& options, const std::string& config_folder,
                     int width, int height, const ScalePlan& plan, const std::string& what);

    void start(const RgbaImage& frame, int64_t index) override;
    void finish(const PixelUse& use) override;
    RgbaImage stretched_alpha(const RgbaImage& frame) override;
    std::string backend_text() const override;

private:
    std::unique_ptr<EglSession> _session;
    UpscalePasses _passes;
    FrameSizeChange _sizes;
    velmo_client::PixelBufferReader _readback;
};

} // namespace velmo_upscale
