// One picture in, PNG out: one frame through velmo, transparency carried over from the plain stretch.
#include <chrono>
#include <cstdio>
#include <memory>

#include "ImageOps.h"
#include "InputFile.h"
#include "Jobs.h"
#include "OutputFile.h"
#include "PngIo.h"
#include "PremultipliedAlpha.h"
#include "Rotation.h"
#include "StretchBlit.h"
#include "ScalePlan.h"
#include "ToolError.h"
#include "UpscalePasses.h"
#include "VideoReader.h"
#include "client/EglSession.h"

namespace velmo_upscale {

std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

namespace {

// The picture's decoder, chosen by its first bytes: libpng for a PNG, FFmpeg for anything else
// (JPEG, WebP, BMP, a one-frame video). Opening reads only the header, so the size is known and
// checked before the pixels take any memory.
class PictureSource {
public:
    explicit PictureSource(const std::string& path) : _input(path)
    {
        if (_input.starts_with_png_signature()) {
            _png = std::make_unique<PngReader>(_input);
            width = _png->width();
            height = _png->height();
        } else {
            _video = std::make_unique<VideoReader>(_input);
            // A PNG has no place for a display rotation (a phone's one-frame clip): turn the pixels,
            // and say so once the file has turned out to hold one picture.
            _turned_degrees = _video->turn_upright();
            width = _video->info().width;
            height = _video->info().height;
        }
    }

    PngPicture read()
    {
        PngPicture picture;
        if (_png) {
            picture.has_alpha = _png->has_alpha();
            picture.profile = _png->profile();
            _png->read(picture.image);
            return picture;
        }
        int64_t pts = 0;
        if (!_video->read_frame(picture.image, pts))
            throw ToolError(kExitInput, "no picture in '" + _input.path() + "' could be decoded");
        RgbaImage next;
        if (_video->read_frame(next, pts))
            throw ToolError(kExitUsage,
                            "'" + _input.path() + "' is a video; write it to a .mp4, .mkv or .y4m file");
        if (_turned_degrees)
            std::fprintf(stderr, "velmo-upscale: note: %s\n",
                         turned_upright_text(OutputKind::Png, _turned_degrees).c_str());
        for (size_t i = 3; i < picture.image.pixels.size() && !picture.has_alpha; i += 4)
            picture.has_alpha = picture.image.pixels[i] != 255;
        // A photograph's profile (Display P3, Adobe RGB) describes the decoded RGB as well.
        picture.profile.bytes = _video->icc_profile();
        picture.profile.name = "ICC profile";
        return picture;
    }

    int width = 0;
    int height = 0;

private:
    InputFile _input;
    std::unique_ptr<PngReader> _png;
    std::unique_ptr<VideoReader> _video;
    int _turned_degrees = 0;
};

} // namespace

std::string upscale_picture(const Options& options, const std::string& config_folder)
{
    auto start = std::chrono::steady_clock::now();
    PictureSource source(options.input);
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
