// One picture from a file of any kind the tool reads, upright and with its colours settled for a
// PNG: libpng for a PNG, libwebp for an animated WebP, FFmpeg for anything else (JPEG, still WebP,
// GIF, BMP, a one-frame video).
#pragma once

#include <memory>
#include <string>

#include "InputFile.h"
#include "PngIo.h"
#include "RgbaImage.h"

namespace velmo_upscale {

class VideoReader;

class PictureSource {
public:
    // Opens the input and learns the picture's size, the one it is shown at (turned upright as
    // its EXIF orientation asks). A PNG's header alone is read, so its size is checked before its
    // pixels take any memory; FFmpeg's first frame is decoded at once, since only the frame tells
    // its orientation (FFmpeg checks the size on opening). What the user should know (an
    // orientation, an animation of which `output` gets one frame, a 16-bit PNG) is noted on
    // standard error. Throws ToolError(kExitInput) for an unreadable picture, and
    // ToolError(kExitUsage) for a video.
    PictureSource(const std::string& path, const std::string& output);
    ~PictureSource();
    PictureSource(const PictureSource&) = delete;
    PictureSource& operator=(const PictureSource&) = delete;

    // The picture upright, its colours settled with its profile (see settle_colour_profile); once.
    PngPicture read();

    int width = 0;
    int height = 0;

private:
    void open_png(const std::string& output);
    void open_animated_webp(const std::string& output);
    void open_other(const std::string& output);
    void convert_cmyk_inks();
    void note_first_frame_only(const std::string& output, const std::string& frames);

    InputFile _input;
    std::unique_ptr<PngReader> _png;
    std::unique_ptr<VideoReader> _video;
    RgbaImage _first;            // libwebp's or FFmpeg's first frame, as stored
    IccProfile _decoded_profile; // the profile FFmpeg found with the first frame
    int _stored_width = 0;
    int _stored_height = 0;
    int _orientation = 1;
};

} // namespace velmo_upscale
