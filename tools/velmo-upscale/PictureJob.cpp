// One picture in, PNG out: one frame through velmo, transparency carried over from the plain stretch.
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
#include "VideoReader.h"

namespace velmo_upscale {

std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

namespace {

// A PNG through libpng; any other single picture FFmpeg reads (JPEG, WebP, BMP, a one-frame
// video) through its decoders.
PngPicture load_picture(const std::string& path)
{
    if (looks_like_png(path))
        return read_png(path);
    VideoReader reader(path);
    PngPicture picture;
    int64_t pts = 0;
    if (!reader.read_frame(picture.image, pts))
        throw ToolError(kExitInput, "no picture in '" + path + "' could be decoded");
    RgbaImage next;
    if (reader.read_frame(next, pts))
        throw ToolError(kExitUsage, "'" + path + "' is a video; write it to a .mp4 or .y4m file");
    for (size_t i = 3; i < picture.image.pixels.size() && !picture.has_alpha; i += 4)
        picture.has_alpha = picture.image.pixels[i] != 255;
    return picture;
}

} // namespace

std::string upscale_picture(const Options& options, const std::string& config_folder)
{
    auto start = std::chrono::steady_clock::now();
    PngPicture picture = load_picture(options.input);
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
