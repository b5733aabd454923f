// The backend choice: --backend, or for auto the OpenGL ES renderer the tool's context gets.
#include "FrameUpscaler.h"

#include <algorithm>
#include <cctype>

#include "CpuFrameUpscaler.h"
#include "GpuFrameUpscaler.h"
#include "client/EglSession.h"

namespace velmo_upscale {

bool is_software_rasteriser(const std::string& renderer)
{
    std::string name = renderer;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* software : {"llvmpipe", "softpipe", "swrast"})
        if (name.find(software) != std::string::npos)
            return true;
    return false;
}

std::unique_ptr<FrameUpscaler> make_frame_upscaler(const Options& options, const std::string& config_folder,
                                                   int width, int height, const ScalePlan& plan,
                                                   const std::string& what)
{
    if (options.backend == Backend::Cpu)
        return std::make_unique<CpuFrameUpscaler>(options, width, height, plan, "");
    std::unique_ptr<EglSession> session;
    try {
        session = std::make_unique<EglSession>();
    } catch (const velmo_client::GpuError&) {
        if (options.backend == Backend::Gpu)
            throw;
        return std::make_unique<CpuFrameUpscaler>(options, width, height, plan, "auto: no OpenGL ES context");
    }
    // A software rasteriser draws velmo's passes on the same cores, far slower than the CPU pass.
    if (options.backend == Backend::Auto && is_software_rasteriser(session->renderer())) {
        std::string why = "auto: " + session->renderer() + " is a software rasteriser";
        session.reset();
        return std::make_unique<CpuFrameUpscaler>(options, width, height, plan, why);
    }
    return std::make_unique<GpuFrameUpscaler>(std::move(session), options, config_folder, width, height, plan, what);
}

} // namespace velmo_upscale
