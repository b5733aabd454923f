// Animated WebP pictures, which FFmpeg's WebP decoder cannot read, through libwebp's demuxer: the
// first frame for a picture, every frame with its timing for a video.
#pragma once

#include <memory>
#include <string>

#include "InputFile.h"
#include "RgbaImage.h"

namespace velmo_upscale {

// Whether the input starts as an animated WebP does (a RIFF WEBP file whose VP8X header has the
// animation flag); what is looked at is read again afterwards.
bool is_animated_webp(InputFile& input);

struct WebpFirstFrame {
    RgbaImage image; // the whole canvas as the first frame shows it
    int frame_count = 0;
};

// Reads the whole input and decodes its first frame. Throws ToolError(kExitInput) for a damaged
// or oversized file.
WebpFirstFrame read_first_webp_frame(InputFile& input);

// Reads the whole input and decodes every frame into an input FFmpeg reads as a video: a NUT file
// in memory of RGBA frames, each at the millisecond it starts, named like the input in messages.
// Throws ToolError(kExitInput) for a damaged or oversized file.
std::unique_ptr<InputFile> animated_webp_as_video(InputFile& input);

} // namespace velmo_upscale
