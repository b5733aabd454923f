// The video encoder a run asks for, checked against this FFmpeg build and the output container
// before anything is written: which encoder, the pixel format it is given, the settings it opens with.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "AvSupport.h"
#include "ChromaFormat.h"
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
// `bit_depth` bits per sample in the `chroma` layout: that layout (4:4:4 at odd sizes) and 8, 10 or
// 12 bits as deep as the input, or the closest the encoder takes, named in the downgrade. An `rgb`
// input stays RGB where the encoder takes it, otherwise becomes 4:4:4 YUV; an `alpha` input keeps
// its transparency where the encoder takes that format with alpha. `container` is null for
// Y4M, which holds raw YUV frames only.
// Throws ToolError(kExitUsage) for an absent encoder, one the container cannot carry, or a --crf or
// --preset the encoder does not take, and ToolError(kExitOutput) when the build has no encoder at all.
EncoderChoice choose_encoder(const EncoderRequest& request, const AVOutputFormat* container, int width, int height,
                             int bit_depth, ChromaFormat chroma = {}, bool rgb = false, bool alpha = false);

} // namespace velmo_upscale
