// PNG in, PNG out: one frame through velmo, transparency carried over from the plain stretch.
#include <chrono>
#include <cstdio>
#include <memory>

#include "EglSession.h"
#include "ImageOps.h"
#include "Jobs.h"
#include "OutputFile.h"
#include "PngIo.h"
#include "StretchBlit.h"
#include "ToolError.h"
#include "VelmoUpscaler.h"

namespace velmo_upscale {

std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string upscale_picture(const Options& options, const std::string& config_folder)
{
    auto start = std::chrono::steady_clock::now();
    if (options.output_kind != OutputKind::Png)
        throw ToolError(kExitUsage, "'" + options.input + "' is a PNG picture; write it to a .png file");
    PngPicture picture = read_png(options.input);
    OutputFile output(options.output);
    std::unique_ptr<OutputFile> compare;
    if (!options.compare_path.empty())
        compare = std::make_unique<OutputFile>(options.compare_path);

    EglSession session;
    VelmoUpscaler upscaler(options, config_folder, picture.image.width, picture.image.height);
    RgbaImage result;
    upscaler.upscale(picture.image, result);
    if (picture.has_alpha || compare) {
        RgbaImage stretched = plain_stretch(upscaler.input_texture().name(), result.width, result.height);
        if (picture.has_alpha)
            copy_alpha(stretched, result);
        if (compare) {
            write_png_to(*compare, side_by_side(stretched, result, 8), false);
            compare->commit();
        }
    }
    write_png_to(output, result, picture.has_alpha);
    output.commit();

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %.2f s", seconds);
    std::string summary = options.input + " " + size_text(picture.image.width, picture.image.height) + " -> " +
                          options.output + " " + size_text(result.width, result.height) + ", " +
                          (velmo_upscales(options.priority, picture.image.width, picture.image.height)
                               ? "upscaled"
                               : "stretched only (priority " + std::to_string(options.priority) + ")") +
                          timing + " on " + session.renderer();
    if (compare)
        summary += "; stretched | velmo: " + options.compare_path;
    return summary;
}

} // namespace velmo_upscale
