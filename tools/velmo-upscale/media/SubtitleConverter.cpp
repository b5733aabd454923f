// Subtitle decoding to FFmpeg's common text form and encoding into another text format.
#include "SubtitleConverter.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <cstring>
#include <new>
#include <vector>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

constexpr int kLargestSubtitle = 1 << 16;

} // namespace

AVCodecID SubtitleConverter::target_for(OutputKind kind, AVCodecID source)
{
    switch (source) {
    case AV_CODEC_ID_MOV_TEXT:
        return kind == OutputKind::Mkv ? AV_CODEC_ID_SUBRIP : kind == OutputKind::Webm ? AV_CODEC_ID_WEBVTT
                                                                                       : AV_CODEC_ID_NONE;
    case AV_CODEC_ID_SUBRIP:
    case AV_CODEC_ID_ASS:
    case AV_CODEC_ID_SSA:
    case AV_CODEC_ID_WEBVTT:
    case AV_CODEC_ID_TEXT:
        return kind == OutputKind::Mp4 || kind == OutputKind::Mov ? AV_CODEC_ID_MOV_TEXT
               : kind == OutputKind::Webm                         ? AV_CODEC_ID_WEBVTT
                                                                  : AV_CODEC_ID_NONE;
    default:
        return AV_CODEC_ID_NONE;
    }
}

SubtitleConverter::SubtitleConverter(const AVStream& source, AVCodecID target)
{
    const AVCodec* decoder = avcodec_find_decoder(source.codecpar->codec_id);
    const AVCodec* encoder = avcodec_find_encoder(target);
    if (!decoder || !encoder)
        throw ToolError(kExitOutput, std::string("this FFmpeg build cannot convert ") +
                                         avcodec_get_name(source.codecpar->codec_id) + " subtitles to " +
                                         avcodec_get_name(target));
    _decoder.reset(avcodec_alloc_context3(decoder));
    _encoder.reset(avcodec_alloc_context3(encoder));
    _parameters.reset(avcodec_parameters_alloc());
    if (!_decoder || !_encoder || !_parameters || avcodec_parameters_to_context(_decoder.get(), source.codecpar) < 0)
        throw std::bad_alloc();
    _decoder->pkt_timebase = source.time_base;
    int result = avcodec_open2(_decoder.get(), decoder, nullptr);
    if (result < 0)
        throw ToolError(kExitOutput, std::string("cannot decode the ") + decoder->name +
                                         " subtitles: " + av_error_text(result));

    // The encoder starts from the decoder's style header, as the decoded text refers to its styles.
    _encoder->time_base = source.time_base;
    if (_decoder->subtitle_header && _decoder->subtitle_header_size > 0) {
        _encoder->subtitle_header = static_cast<uint8_t*>(av_mallocz(_decoder->subtitle_header_size + 1));
        if (!_encoder->subtitle_header)
            throw std::bad_alloc();
        std::memcpy(_encoder->subtitle_header, _decoder->subtitle_header, _decoder->subtitle_header_size);
        _encoder->subtitle_header_size = _decoder->subtitle_header_size;
    }
    result = avcodec_open2(_encoder.get(), encoder, nullptr);
    if (result < 0)
        throw ToolError(kExitOutput, std::string("cannot encode ") + encoder->name + " subtitles: " +
                                         av_error_text(result));
    if (avcodec_parameters_from_context(_parameters.get(), _encoder.get()) < 0)
        throw std::bad_alloc();
}

bool SubtitleConverter::convert(AVPacket& packet, AVPacket& converted)
{
    AVSubtitle subtitle{};
    int got = 0;
    if (avcodec_decode_subtitle2(_decoder.get(), &subtitle, &got, &packet) < 0 || !got)
        return false;
    std::vector<uint8_t> text(kLargestSubtitle);
    int size = subtitle.num_rects > 0
                   ? avcodec_encode_subtitle(_encoder.get(), text.data(), static_cast<int>(text.size()), &subtitle)
                   : 0;
    avsubtitle_free(&subtitle);
    if (size <= 0)
        return false;
    if (av_new_packet(&converted, size) < 0)
        throw std::bad_alloc();
    std::memcpy(converted.data, text.data(), static_cast<size_t>(size));
    converted.pts = packet.pts;
    converted.dts = packet.dts;
    converted.duration = packet.duration;
    converted.flags = AV_PKT_FLAG_KEY;
    return true;
}

} // namespace velmo_upscale
