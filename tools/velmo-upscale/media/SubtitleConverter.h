// Text subtitles re-encoded into the text format a container holds where it cannot carry theirs:
// MP4's timed text becomes SubRip in Matroska, SubRip, ASS and WebVTT become timed text in MP4.
// The words and their timing are kept; styling only as far as the new format has it.
#pragma once

#include <memory>

#include "AvSupport.h"
#include "Options.h"

namespace velmo_upscale {

class SubtitleConverter {
public:
    // The format subtitles of `source` are converted to for output `kind`, or AV_CODEC_ID_NONE when
    // they are not text or `kind` takes no text format.
    static AVCodecID target_for(OutputKind kind, AVCodecID source);

    // Opens the decoder and the encoder; throws ToolError(kExitOutput) when either cannot start.
    SubtitleConverter(const AVStream& source, AVCodecID target);

    // Parameters of the converted stream (codec, extra data), timestamps in the source's time base.
    const AVCodecParameters& parameters() const { return *_parameters; }

    // Converts one packet into `converted`, which takes over its timestamps. False when the packet
    // holds no text (MP4 fills the gaps between subtitles with empty ones) or cannot be decoded.
    bool convert(AVPacket& packet, AVPacket& converted);

private:
    struct ParametersFree {
        void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
    };
    CodecContextPtr _decoder;
    CodecContextPtr _encoder;
    std::unique_ptr<AVCodecParameters, ParametersFree> _parameters;
};

} // namespace velmo_upscale
