// Audio re-encoding with FFmpeg's decoders, its aformat filter and its AAC and Opus encoders.
#include "AudioTranscoder.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
}

#include <new>
#include <string>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

[[noreturn]] void cannot(const std::string& what, int code)
{
    throw ToolError(kExitOutput, "cannot re-encode the sound: " + what + (code < 0 ? ": " + av_error_text(code) : ""));
}

// A rate the encoder takes: the source's where it can, otherwise 48 kHz.
int rate_for(const AVCodec& codec, int source_rate)
{
    if (!codec.supported_samplerates)
        return source_rate;
    for (const int* rate = codec.supported_samplerates; *rate; ++rate)
        if (*rate == source_rate)
            return source_rate;
    return 48000;
}

// The source's channels where the encoder takes their layout, otherwise stereo (mono stays mono).
AVChannelLayout layout_for(const AVCodec& codec, const AVChannelLayout& source)
{
    AVChannelLayout layout{};
    if (source.order == AV_CHANNEL_ORDER_UNSPEC || source.nb_channels <= 0)
        av_channel_layout_default(&layout, source.nb_channels > 0 ? source.nb_channels : 2);
    else
        av_channel_layout_copy(&layout, &source);
    for (const AVChannelLayout* taken = codec.ch_layouts; taken && taken->nb_channels; ++taken)
        if (av_channel_layout_compare(taken, &layout) == 0)
            return layout;
    bool mono = layout.nb_channels == 1;
    av_channel_layout_uninit(&layout);
    av_channel_layout_default(&layout, mono ? 1 : 2);
    return layout;
}

std::string layout_text(const AVChannelLayout& layout)
{
    char text[128] = {};
    av_channel_layout_describe(&layout, text, sizeof text);
    return text;
}

} // namespace

AVCodecID AudioTranscoder::target_for(OutputKind kind, AVCodecID source)
{
    switch (kind) {
    case OutputKind::Mp4:
    case OutputKind::Mov:
        // MP4 lists Vorbis as carried, yet few players read it there.
        return source == AV_CODEC_ID_AAC || source == AV_CODEC_ID_MP3 || source == AV_CODEC_ID_AC3 ||
                       source == AV_CODEC_ID_EAC3 || source == AV_CODEC_ID_OPUS || source == AV_CODEC_ID_ALAC
                   ? AV_CODEC_ID_NONE
                   : AV_CODEC_ID_AAC;
    case OutputKind::Webm:
        return source == AV_CODEC_ID_OPUS || source == AV_CODEC_ID_VORBIS ? AV_CODEC_ID_NONE : AV_CODEC_ID_OPUS;
    default:
        return AV_CODEC_ID_NONE;
    }
}

AudioTranscoder::AudioTranscoder(const AVStream& source, AVCodecID target, bool global_header)
    : _source_time_base(source.time_base)
{
    _decoded.reset(av_frame_alloc());
    _converted.reset(av_frame_alloc());
    _packet.reset(av_packet_alloc());
    _parameters.reset(avcodec_parameters_alloc());
    if (!_decoded || !_converted || !_packet || !_parameters)
        throw std::bad_alloc();
    const AVCodec* decoder = avcodec_find_decoder(source.codecpar->codec_id);
    if (!decoder)
        cannot(std::string("no decoder for ") + avcodec_get_name(source.codecpar->codec_id), 0);
    _decoder.reset(avcodec_alloc_context3(decoder));
    if (!_decoder)
        throw std::bad_alloc();
    avcodec_parameters_to_context(_decoder.get(), source.codecpar);
    _decoder->pkt_timebase = source.time_base;
    int result = avcodec_open2(_decoder.get(), decoder, nullptr);
    if (result < 0)
        cannot(std::string("the ") + decoder->name + " decoder refuses it", result);
    set_up_encoder(target, global_header);
}

AudioTranscoder::~AudioTranscoder()
{
    avfilter_graph_free(&_graph);
}

void AudioTranscoder::set_up_encoder(AVCodecID target, bool global_header)
{
    const AVCodec* codec = target == AV_CODEC_ID_OPUS ? avcodec_find_encoder_by_name("libopus") : nullptr;
    if (!codec)
        codec = avcodec_find_encoder(target);
    if (!codec)
        cannot(std::string("this FFmpeg build has no ") + avcodec_get_name(target) + " encoder", 0);
    _encoder.reset(avcodec_alloc_context3(codec));
    if (!_encoder)
        throw std::bad_alloc();
    AVCodecContext& encoder = *_encoder;
    encoder.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    encoder.sample_rate = rate_for(*codec, _decoder->sample_rate > 0 ? _decoder->sample_rate : 48000);
    encoder.ch_layout = layout_for(*codec, _decoder->ch_layout);
    encoder.bit_rate = 64000 * static_cast<int64_t>(encoder.ch_layout.nb_channels > 1 ? 2 : 1) * 3 / 2;
    encoder.time_base = AVRational{1, encoder.sample_rate};
    if (global_header)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(_encoder.get(), codec, nullptr);
    if (result < 0)
        cannot(std::string("the ") + codec->name + " encoder refuses " + layout_text(encoder.ch_layout) + " at " +
                   std::to_string(encoder.sample_rate) + " Hz",
               result);
    if (avcodec_parameters_from_context(_parameters.get(), _encoder.get()) < 0)
        throw std::bad_alloc();
}

// Set up for the first decoded frame, whose samples, rate and channels are then known for sure.
void AudioTranscoder::set_up_conversion(const AVFrame& first)
{
    AVChannelLayout input_layout{};
    if (first.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&input_layout, first.ch_layout.nb_channels);
    else
        av_channel_layout_copy(&input_layout, &first.ch_layout);
    const char* sample_format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(first.format));
    std::string source = "time_base=" + std::to_string(_source_time_base.num) + "/" +
                         std::to_string(_source_time_base.den) + ":sample_rate=" + std::to_string(first.sample_rate) +
                         ":sample_fmt=" + (sample_format ? sample_format : "none") +
                         ":channel_layout=" + layout_text(input_layout);
    av_channel_layout_uninit(&input_layout);
    std::string format = std::string("sample_fmts=") + av_get_sample_fmt_name(_encoder->sample_fmt) +
                         ":sample_rates=" + std::to_string(_encoder->sample_rate) +
                         ":channel_layouts=" + layout_text(_encoder->ch_layout);
    _graph = avfilter_graph_alloc();
    if (!_graph)
        throw std::bad_alloc();
    AVFilterContext* convert = nullptr;
    int result = avfilter_graph_create_filter(&_source, avfilter_get_by_name("abuffer"), "in", source.c_str(),
                                              nullptr, _graph);
    if (result >= 0)
        result = avfilter_graph_create_filter(&convert, avfilter_get_by_name("aformat"), "format", format.c_str(),
                                              nullptr, _graph);
    if (result >= 0)
        result = avfilter_graph_create_filter(&_sink, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                              _graph);
    if (result >= 0)
        result = avfilter_link(_source, 0, convert, 0);
    if (result >= 0)
        result = avfilter_link(convert, 0, _sink, 0);
    if (result >= 0)
        result = avfilter_graph_config(_graph, nullptr);
    if (result < 0)
        cannot("cannot convert " + source + " to " + format, result);
    // Encoders with a fixed frame size (AAC's 1024 samples) take exactly that many per frame.
    if (_encoder->frame_size > 0 && !(_encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
        av_buffersink_set_frame_size(_sink, static_cast<unsigned>(_encoder->frame_size));
}

AVRational AudioTranscoder::time_base() const
{
    return _encoder->time_base;
}

void AudioTranscoder::convert(const AVPacket& packet, const PacketSink& write)
{
    // A packet the decoder refuses costs its own sound only.
    if (avcodec_send_packet(_decoder.get(), &packet) < 0)
        return;
    receive_decoded(write);
}

void AudioTranscoder::flush(const PacketSink& write)
{
    avcodec_send_packet(_decoder.get(), nullptr);
    receive_decoded(write);
    filter(nullptr, write);
    encode(nullptr, write);
}

void AudioTranscoder::receive_decoded(const PacketSink& write)
{
    while (avcodec_receive_frame(_decoder.get(), _decoded.get()) >= 0) {
        _decoded->pts = _decoded->best_effort_timestamp;
        filter(_decoded.get(), write);
        av_frame_unref(_decoded.get());
    }
}

void AudioTranscoder::filter(const AVFrame* frame, const PacketSink& write)
{
    if (!_graph) {
        if (!frame)
            return;
        set_up_conversion(*frame);
    }
    int result = av_buffersrc_write_frame(_source, frame);
    if (result < 0)
        cannot("the conversion refused a frame", result);
    AVRational converted_base = av_buffersink_get_time_base(_sink);
    while (av_buffersink_get_frame(_sink, _converted.get()) >= 0) {
        if (_converted->pts != AV_NOPTS_VALUE)
            _converted->pts = av_rescale_q(_converted->pts, converted_base, _encoder->time_base);
        encode(_converted.get(), write);
        av_frame_unref(_converted.get());
    }
}

void AudioTranscoder::encode(const AVFrame* frame, const PacketSink& write)
{
    int result = avcodec_send_frame(_encoder.get(), frame);
    if (result < 0 && result != AVERROR_EOF)
        cannot("the encoder refused a frame", result);
    while (avcodec_receive_packet(_encoder.get(), _packet.get()) >= 0) {
        write(*_packet);
        av_packet_unref(_packet.get());
    }
}

} // namespace velmo_upscale
