// Writes the synthetic scene as a short clip, with an AAC tone track encoded here so that the
// upscaler has an audio stream to carry over.
#include <cmath>
#include <memory>
#include <new>

#include "AvSupport.h"
#include "SampleScene.h"
#include "ToolError.h"
#include "VideoWriter.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace velmo_upscale {
namespace {

constexpr int kSampleRate = 48000;
constexpr double kToneHz = 440.0;

// An AAC encoder feeding its packets into the writer as a copied stream.
class ToneTrack {
public:
    explicit ToneTrack(VideoWriter& writer) : _writer(writer)
    {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!codec)
            throw ToolError(kExitOutput, "this FFmpeg build has no AAC encoder for the sample's sound");
        _encoder.reset(avcodec_alloc_context3(codec));
        _frame.reset(av_frame_alloc());
        _packet.reset(av_packet_alloc());
        if (!_encoder || !_frame || !_packet)
            throw std::bad_alloc();
        _encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        _encoder->sample_rate = kSampleRate;
        _encoder->bit_rate = 96000;
        _encoder->time_base = AVRational{1, kSampleRate};
        _encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_channel_layout_default(&_encoder->ch_layout, 1);
        int result = avcodec_open2(_encoder.get(), codec, nullptr);
        if (result < 0)
            throw ToolError(kExitOutput, "cannot open the AAC encoder: " + av_error_text(result));

        AVCodecParameters* parameters = avcodec_parameters_alloc();
        avcodec_parameters_from_context(parameters, _encoder.get());
        _stream = writer.add_copied_stream(*parameters, _encoder->time_base);
        avcodec_parameters_free(&parameters);

        _frame->format = AV_SAMPLE_FMT_FLTP;
        _frame->sample_rate = kSampleRate;
        _frame->nb_samples = _encoder->frame_size;
        av_channel_layout_copy(&_frame->ch_layout, &_encoder->ch_layout);
        if (av_frame_get_buffer(_frame.get(), 0) < 0)
            throw std::bad_alloc();
    }

    // Encodes tone up to `seconds`.
    void fill_until(double seconds)
    {
        while (_stream >= 0 && static_cast<double>(_samples) / kSampleRate < seconds) {
            if (av_frame_make_writable(_frame.get()) < 0)
                throw std::bad_alloc();
            auto* samples = reinterpret_cast<float*>(_frame->data[0]);
            for (int i = 0; i < _frame->nb_samples; ++i) {
                double t = static_cast<double>(_samples + i) / kSampleRate;
                samples[i] = static_cast<float>(0.2 * std::sin(2.0 * M_PI * kToneHz * t));
            }
            _frame->pts = _samples;
            _samples += _frame->nb_samples;
            encode(_frame.get());
        }
    }

    void finish()
    {
        if (_stream >= 0)
            encode(nullptr);
    }

private:
    void encode(const AVFrame* frame)
    {
        avcodec_send_frame(_encoder.get(), frame);
        while (avcodec_receive_packet(_encoder.get(), _packet.get()) == 0)
            _writer.write_copied_packet(*_packet, _stream, _encoder->time_base);
    }

    VideoWriter& _writer;
    CodecContextPtr _encoder;
    FramePtr _frame;
    PacketPtr _packet;
    int _stream = -1;
    int64_t _samples = 0;
};

} // namespace

void write_sample_clip(const std::string& path, OutputKind kind, const SampleClip& clip)
{
    VideoFormat format;
    format.width = clip.width;
    format.height = clip.height;
    format.frame_rate = AVRational{clip.frame_rate, 1};
    format.time_base = AVRational{1, clip.frame_rate};
    format.color.matrix = clip.height < 720 ? AVCOL_SPC_SMPTE170M : AVCOL_SPC_BT709;
    VideoWriter writer(path, kind, format);
    std::unique_ptr<ToneTrack> tone;
    if (clip.with_audio)
        tone = std::make_unique<ToneTrack>(writer);
    writer.start();
    for (int i = 0; i < clip.frames; ++i) {
        double seconds = static_cast<double>(i) / clip.frame_rate;
        if (tone)
            tone->fill_until(seconds + 1.0 / clip.frame_rate);
        writer.write_frame(render_sample_scene(clip.width, clip.height, seconds), i);
    }
    if (tone)
        tone->finish();
    writer.finish();
}

} // namespace velmo_upscale
