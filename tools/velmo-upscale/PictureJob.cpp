// One picture in, PNG out: one frame through velmo, transparency carried over from the plain stretch.
#include <chrono>
#include <cstdio>
#include <memory>
#include <utility>

#include "AnimatedWebp.h"
#include "ColourProfile.h"
#include "ImageOps.h"
#include "InputFile.h"
#include "Jobs.h"
#include "Orientation.h"
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

void note(const std::string& text)
{
    std::fprintf(stderr, "velmo-upscale: note: %s\n", text.c_str());
}

// Animated pictures that go to a single picture; anything else with a second frame is a video.
bool is_animated_picture_format(const AVFormatContext& container)
{
    const std::string name = container.iformat->name;
    return name == "gif" || name == "apng" || name == "webp_pipe";
}

// The picture's decoder, chosen by its first bytes: libpng for a PNG, FFmpeg for anything else
// (JPEG, WebP, GIF, BMP, a one-frame video), libwebp for an animated WebP. A PNG's header is read first, so its size is known
// and checked before the pixels take any memory; FFmpeg's size checks come with opening, and its
// first frame is decoded at once, since only that frame tells its orientation. The size is the
// one the picture is shown at: turned upright as its EXIF orientation asks.
class PictureSource {
public:
    PictureSource(const std::string& path, const std::string& output) : _input(path)
    {
        if (_input.starts_with_png_signature())
            open_png(output);
        else if (is_animated_webp(_input))
            open_animated_webp(output);
        else
            open_other(output);
        const bool sideways = orientation_swaps_sides(_orientation);
        width = sideways ? _stored_height : _stored_width;
        height = sideways ? _stored_width : _stored_height;
        if (_orientation != 1)
            note("'" + _input.path() + "' is stored otherwise than shown (EXIF orientation " +
                 std::to_string(_orientation) + "): " + orientation_text(_orientation) + " to show it upright");
    }

    // The picture upright, its colours settled with its profile.
    PngPicture read()
    {
        PngPicture picture;
        if (_png) {
            picture.has_alpha = _png->has_alpha();
            picture.profile = _png->profile();
            _png->read(picture.image);
        } else {
            picture.image = std::move(_first);
            for (size_t i = 3; i < picture.image.pixels.size() && !picture.has_alpha; i += 4)
                picture.has_alpha = picture.image.pixels[i] != 255;
            picture.profile = _decoded_profile;
        }
        if (_orientation != 1)
            picture.image = apply_orientation(picture.image, _orientation);
        std::string colour = settle_colour_profile(picture, _input.path());
        if (!colour.empty())
            note(colour);
        return picture;
    }

    int width = 0;
    int height = 0;

private:
    void open_png(const std::string& output)
    {
        _png = std::make_unique<PngReader>(_input);
        _stored_width = _png->width();
        _stored_height = _png->height();
        _orientation = _png->orientation();
        if (_png->frame_count() > 1)
            note_first_frame_only(output, std::to_string(_png->frame_count()) + " frames");
        if (_png->bit_depth() == 16)
            note("'" + _input.path() + "' has 16 bits per channel; velmo works in 8, so '" + output +
                 "' is written with 8");
    }

    void open_other(const std::string& output)
    {
        _video = std::make_unique<VideoReader>(_input);
        // A PNG has no place for a display rotation (a phone's one-frame clip): turn the pixels.
        if (int degrees = _video->turn_upright())
            note(turned_upright_text(OutputKind::Png, degrees));
        int64_t pts = 0;
        if (!_video->read_frame(_first, pts))
            throw ToolError(kExitInput, "no picture in '" + _input.path() + "' could be decoded");
        _orientation = _video->exif_orientation();
        RgbaImage next;
        if (_video->read_frame(next, pts)) {
            if (!is_animated_picture_format(*_video->container()))
                throw ToolError(kExitUsage,
                                "'" + _input.path() + "' is a video; write it to a .mp4, .mkv or .y4m file");
            note_first_frame_only(output, "more than one frame");
        }
        // A photograph's profile (Display P3, Adobe RGB) describes the decoded RGB as well.
        _decoded_profile.bytes = _video->icc_profile();
        _decoded_profile.name = "ICC profile";
        if (is_cmyk_profile(_decoded_profile))
            convert_cmyk_inks();
        _stored_width = _first.width;
        _stored_height = _first.height;
    }

    // FFmpeg turns a CMYK JPEG's inks into RGB by a plain formula; the profile's conversion needs
    // the inks themselves, read again with libjpeg where the input can be read again.
    void convert_cmyk_inks()
    {
        CmykSamples inks;
        if (_input.seek(0, SEEK_SET) != 0 || !read_cmyk_jpeg(_input, inks) || inks.width != _first.width ||
            inks.height != _first.height)
            return;
        _first = cmyk_to_srgb(inks, _decoded_profile, _input.path());
        note("'" + _input.path() + "' holds CMYK inks: converted to sRGB with " +
             profile_description(_decoded_profile));
        _decoded_profile = IccProfile();
    }

    // FFmpeg reads still WebP pictures only.
    void open_animated_webp(const std::string& output)
    {
        WebpFirstFrame first = read_first_webp_frame(_input);
        _first = std::move(first.image);
        _stored_width = _first.width;
        _stored_height = _first.height;
        if (first.frame_count > 1)
            note_first_frame_only(output, std::to_string(first.frame_count) + " frames");
    }

    void note_first_frame_only(const std::string& output, const std::string& frames)
    {
        note("'" + _input.path() + "' is animated (" + frames + "): only its first frame is written to '" + output +
             "'; give a .mp4, .mkv or .y4m output for all of them");
    }

    InputFile _input;
    std::unique_ptr<PngReader> _png;
    std::unique_ptr<VideoReader> _video;
    RgbaImage _first; // FFmpeg's or libwebp's first frame, as stored
    IccProfile _decoded_profile; // the profile FFmpeg found with the first frame
    int _stored_width = 0;
    int _stored_height = 0;
    int _orientation = 1;
};

} // namespace

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
