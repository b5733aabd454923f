// The video encoder a run asks for, checked against this FFmpeg build and the output container
// before anything is written: which encoder, the pixel format it is given, the settings it opens with.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "AvSupport.h"
#include "Options.h"

namespace velmo_upscale {

struct EncoderChoice {
    const AVCodec* codec = nullptr;
    AVPixelFormat pixel_format = AV_PIX_FMT_NONE;
    // Options for avcodec_open2, as names and values.
    std::vector<std::pair<std::string, std::string>> settings;
    // Empty, or what the encoder could not keep of the input, for instance "libx264 ... 8-bit".
    std::string downgrade;
};

// Picks the encoder and its pixel format for frames of `width` x `height` from an input of
// `bit_depth` bits per sample: 4:2:0 at even sizes, 4:4:4 otherwise, 10 bits from a deeper input,
// or the closest the encoder takes. `container` is null for Y4M, which holds raw frames only.
// Throws ToolError(kExitUsage) for an absent encoder, one the container cannot carry, or a --crf or
// --preset the encoder does not take, and ToolError(kExitOutput) when the build has no encoder at all.
EncoderChoice choose_encoder(const EncoderRequest& request, const AVOutputFormat* container, int width, int height,
                             int bit_depth);

} // namespace velmo_upscale
