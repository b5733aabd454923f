// One picture in, PNG out: one frame through velmo, transparency carried over from the plain stretch.
#include <chrono>
#include <cstdio>
#include <memory>

#include "ImageOps.h"
#include "Jobs.h"
#include "OutputFile.h"
#include "PictureSource.h"
#include "PngIo.h"
#include "PremultipliedAlpha.h"
#include "StretchBlit.h"
#include "ScalePlan.h"
#include "UpscalePasses.h"
#include "client/EglSession.h"

namespace velmo_upscale {

std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string upscale_picture(const Options& options, const std::string& config_folder)
{
    auto start = std::chrono::steady_clock::now();
    PictureSource source(options.input, options.output);
    ScalePlan plan = plan_scale(options, source.width, source.height, "picture");
    OutputFile output(options.output);
    std::unique_ptr<OutputFile> compare;
    if (!options.compare_path.empty())
        compare = std::make_unique<OutputFile>(options.compare_path);

    EglSession session;
    UpscalePasses upscaler(session, options, config_folder, source.width, source.height, plan,
                           "'" + options.input + "'");
    PngPicture picture = source.read();
    // Colour goes through velmo weighted by alpha, so the colour of invisible pixels stays out of
    // the visible edges; the comparison then shows both pictures over black.
    if (picture.has_alpha)
        premultiply_alpha(picture.image);
    upscaler.upload(picture.image);
    // Only the comparison needs the input on this side once the GPU has its own copy.
    if (!compare)
        picture.image = RgbaImage();
    RgbaImage result;
    upscaler.draw(result);
    if (compare) {
        RgbaImage reference = reference_resize(picture.image, result.width, result.height, options.compare_filter);
        picture.image = RgbaImage();
        write_png_to(*compare, side_by_side(reference, result, 8), false, &picture.profile);
        compare->commit();
    }
    if (picture.has_alpha)
        unpremultiply_with_alpha_of(plain_stretch(upscaler.input_texture().name(), result.width, result.height),
                                    result);
    // The samples stay in the source's colour space, so they keep its profile.
    write_png_to(output, result, picture.has_alpha, &picture.profile);
    output.commit();

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %.2f s", seconds);
    std::string passes = passes_text(plan);
    std::string summary = options.input + " " + size_text(source.width, source.height) + " -> " + options.output +
                          " " + size_text(result.width, result.height) + ", " +
                          (velmo_upscales(options.priority, source.width, source.height)
                               ? "upscaled"
                               : "stretched only (priority " + std::to_string(options.priority) + ")") +
                          (passes.empty() ? "" : " in " + passes) + timing + " on " + session.renderer();
    if (compare)
        summary += std::string("; ") + compare_filter_name(options.compare_filter) + " | velmo: " +
                   options.compare_path;
    return summary;
}

} // namespace velmo_upscale
