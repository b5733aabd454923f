// What the picture and video jobs draw their frames with: velmo on the GPU through velmo_process,
// or velmo's CPU pass on the tool's own threads, behind one interface, chosen by --backend.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Options.h"
#include "RgbaImage.h"
#include "ScalePlan.h"

namespace velmo_upscale {

class FrameUpscaler {
public:
    virtual ~FrameUpscaler() = default;

    // Starts the output picture of frame number `index` (from 0) at the plan's size; a frame of
    // another size than the first goes the way FrameSizes routes it. The frame is no longer needed
    // once this returns.
    virtual void start(const RgbaImage& frame, int64_t index) = 0;

    // Hands the oldest started frame's output (row 0 first, width * 4 bytes a row) to `use`. At
    // most two frames are started and not finished. Throws ToolError.
    using PixelUse = std::function<void(const uint8_t* pixels, int width, int height)>;
    virtual void finish(const PixelUse& use) = 0;

    // The alpha channel of `frame`, the frame started last, stretched bilinearly to the plan's size
    // (the GPU backend stretches its own uploaded copy), in the alpha channel of the result: the
    // transparency a transparent picture keeps, as velmo draws opaque.
    virtual RgbaImage stretched_alpha(const RgbaImage& frame) = 0;

    // For the summary: "gpu: llvmpipe (LLVM 15.0.6, 256 bits)", "cpu: 2 threads".
    virtual std::string backend_text() const = 0;
};

// The backend the options ask for, set up for frames of width x height drawn at `plan`; `what`
// names the input ("'in.png'"). Auto takes the GPU on a hardware OpenGL ES driver and the CPU on
// a software rasteriser or where no EGL context can be had at all. Throws ToolError, and
// velmo_client::GpuError where --backend gpu finds no context.
std::unique_ptr<FrameUpscaler> make_frame_upscaler(const Options& options, const std::string& config_folder,
                                                   int width, int height, const ScalePlan& plan,
                                                   const std::string& what);

// Whether GL_RENDERER names one of Mesa's software rasterisers (llvmpipe, softpipe, swrast).
bool is_software_rasteriser(const std::string& renderer);

} // namespace velmo_upscale
