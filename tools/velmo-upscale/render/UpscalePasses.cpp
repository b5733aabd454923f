// The pass chain: each pass's output texture is the next pass's input.
#include "UpscalePasses.h"

#include <cstdio>

#include "ToolError.h"

namespace velmo_upscale {

UpscalePasses::UpscalePasses(const EglSession& session, const Options& options, const std::string& config_folder,
                             int width, int height, const ScalePlan& plan, const std::string& what)
{
    int limit = session.max_texture_size();
    std::string limit_text = "this OpenGL ES driver (" + session.renderer() + ") takes textures of at most " +
                             std::to_string(limit) + " pixels a side (GL_MAX_TEXTURE_SIZE)";
    if (width > limit || height > limit)
        throw ToolError(kExitInput, what + " is " + std::to_string(width) + "x" + std::to_string(height) + "; " +
                                        limit_text);
    if (plan.width > limit || plan.height > limit)
        throw ToolError(kExitUsage, "the output would be " + std::to_string(plan.width) + "x" +
                                        std::to_string(plan.height) + "; " + limit_text +
                                        ": ask for a smaller size");
    // Each pass's unsharp mask would sharpen the last one's again, and each smoothing would soften
    // the last one's again: the sharpening asked for is applied once, in the last pass at the
    // output size, and the smoothing once, in the first pass at the input size.
    int w = width;
    int h = height;
    for (size_t i = 0; i < plan.pass_scales.size(); ++i) {
        Options pass = options;
        if (i + 1 < plan.pass_scales.size()) {
            pass.level = 0;
            pass.sharpness = 0.0f;
        }
        if (i > 0)
            pass.smooth = false;
        _passes.push_back(std::make_unique<VelmoUpscaler>(pass, config_folder, w, h, plan.pass_scales[i]));
        w = _passes.back()->output_width();
        h = _passes.back()->output_height();
    }
    if (w != plan.width || h != plan.height)
        throw ToolError(kExitFailure, "the passes draw " + std::to_string(w) + "x" + std::to_string(h) +
                                          " instead of " + std::to_string(plan.width) + "x" +
                                          std::to_string(plan.height));
}

void UpscalePasses::upscale(const RgbaImage& frame, RgbaImage& result)
{
    upload(frame);
    draw(result);
}

void UpscalePasses::upload(const RgbaImage& frame)
{
    _passes.front()->upload(frame);
}

void UpscalePasses::draw(RgbaImage& result)
{
    const DrawnTexture out = draw_texture();
    if (!_reader.read(out.texture, out.width, out.height, result))
        throw ToolError(kExitGpu, "cannot read velmo's output texture back");
}

DrawnTexture UpscalePasses::draw_texture()
{
    DrawnTexture out = {_passes.front()->input_texture().name(), 0, 0};
    for (const auto& pass : _passes)
        out = pass->draw_texture(out.texture);
    return out;
}

std::string passes_text(const ScalePlan& plan)
{
    if (plan.pass_scales.size() < 2)
        return "";
    std::string text = std::to_string(plan.pass_scales.size()) + " velmo passes (";
    for (size_t i = 0; i < plan.pass_scales.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%s%.4g", i ? " x " : "", static_cast<double>(plan.pass_scales[i]));
        text += number;
    }
    return text + ")";
}

} // namespace velmo_upscale
