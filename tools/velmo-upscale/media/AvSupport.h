// Small helpers around FFmpeg's C interface: owning pointers for its objects and readable errors.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace velmo_upscale {

// FFmpeg's own console lines: only fatal ones by default (the tool reports failures in its own
// words), warnings too when verbose.
void set_ffmpeg_verbosity(bool verbose);
// What set_ffmpeg_verbosity() last chose, for encoder libraries that log on their own.
bool ffmpeg_verbose();

// FFmpeg's text for an AVERROR code.
std::string av_error_text(int code);

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

// The colour description a video carries, handed from the reader to the writer so that the
// upscaled video is converted back with the matrix it was converted with and says so.
struct VideoColor {
    AVColorSpace matrix = AVCOL_SPC_BT709;
    // False where the input names no matrix and `matrix` is what players assume: the output then
    // names none either.
    bool matrix_stated = true;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED; // unspecified is written as limited range
};

// "audio stream #1", or "attachment #3" for an attached file such as a font.
std::string stream_name(const AVStream& stream);
// "audio stream" or "attachment": what one stream of this kind is called in messages.
std::string stream_kind(AVMediaType type);

// Tags that describe how a file or stream was written rather than what it holds (the encoder, MP4
// brands, Matroska statistics of the old encoding): not carried over to a new encoding.
bool is_encoding_tag(const char* key);

// The matrix frames tagged `matrix` are converted with: the constant-luminance BT.2020 as the
// non-constant one, and BT.709 for matrices swscale knows no better than that (unspecified among them).
AVColorSpace conversion_matrix(AVColorSpace matrix);
// swscale's coefficient table for conversion_matrix(matrix).
const int* sws_coefficients_for(AVColorSpace matrix);

} // namespace velmo_upscale
