// Pictures of every kind the tool reads, decoded, turned upright and colour-settled for a PNG.
#include "PictureSource.h"

#include <cstdio>
#include <utility>

#include "AnimatedWebp.h"
#include "CmykJpeg.h"
#include "ColourProfile.h"
#include "Orientation.h"
#include "Rotation.h"
#include "ToolError.h"
#include "VideoReader.h"

namespace velmo_upscale {
namespace {

void note(const std::string& text)
{
    std::fprintf(stderr, "velmo-upscale: note: %s\n", text.c_str());
}

// An animated GIF may go to a single picture; anything else FFmpeg reads with a second frame is a
// video. (Animated PNGs and WebPs come through libpng and libwebp.)
bool is_gif(const AVFormatContext& container)
{
    return std::string(container.iformat->name) == "gif";
}

} // namespace

PictureSource::PictureSource(const std::string& path, const std::string& output) : _input(path)
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

PictureSource::~PictureSource() = default;

PngPicture PictureSource::read()
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

void PictureSource::open_png(const std::string& output)
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

// FFmpeg reads still WebP pictures only.
void PictureSource::open_animated_webp(const std::string& output)
{
    WebpFirstFrame first = read_first_webp_frame(_input);
    _first = std::move(first.image);
    _stored_width = _first.width;
    _stored_height = _first.height;
    if (first.frame_count > 1)
        note_first_frame_only(output, std::to_string(first.frame_count) + " frames");
}

void PictureSource::open_other(const std::string& output)
{
    _video = std::make_unique<VideoReader>(_input);
    // A PNG has no place for a display rotation (a phone's one-frame clip): turn the pixels, and say
    // so once the file has turned out to hold a picture rather than a video.
    int degrees = _video->turn_upright();
    int64_t pts = 0;
    if (!_video->read_frame(_first, pts))
        throw ToolError(kExitInput, "no picture in '" + _input.path() + "' could be decoded");
    _orientation = _video->exif_orientation();
    RgbaImage next;
    if (_video->read_frame(next, pts)) {
        if (!is_gif(*_video->container()))
            throw ToolError(kExitUsage, "'" + _input.path() + "' is a video; write it to a .mp4, .mkv or .y4m file");
        note_first_frame_only(output, "more than one frame");
    }
    if (degrees)
        note(turned_upright_text(OutputKind::Png, degrees));
    // A photograph's profile (Display P3, Adobe RGB) describes the decoded RGB as well.
    _decoded_profile.bytes = _video->icc_profile();
    _decoded_profile.name = "ICC profile";
    if (is_cmyk_profile(_decoded_profile))
        convert_cmyk_inks();
    _stored_width = _first.width;
    _stored_height = _first.height;
}

// FFmpeg turns a CMYK JPEG's inks into RGB by a plain formula; the profile's conversion needs the
// inks themselves, read again with libjpeg where the input can be read again.
void PictureSource::convert_cmyk_inks()
{
    CmykSamples inks;
    if (_input.seek(0, SEEK_SET) != 0 || !read_cmyk_jpeg(_input, inks) || inks.width != _first.width ||
        inks.height != _first.height)
        return;
    _first = cmyk_to_srgb(inks, _decoded_profile, _input.path());
    note("'" + _input.path() + "' holds CMYK inks: converted to sRGB with " + profile_description(_decoded_profile));
    _decoded_profile = IccProfile();
}

void PictureSource::note_first_frame_only(const std::string& output, const std::string& frames)
{
    note("'" + _input.path() + "' is animated (" + frames + "): only its first frame is written to '" + output +
         "'; give a .mp4, .mkv or .y4m output for all of them");
}

} // namespace velmo_upscale
