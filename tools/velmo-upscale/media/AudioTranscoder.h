// Sound a container cannot hold as it is, re-encoded into a codec it can: AAC for MP4 and MOV
// (PCM, FLAC or Vorbis, which few MP4 players read), Opus for WebM. Decoded, converted to the
// encoder's samples, rate and channels, cut into its frame size and encoded, timing kept.
#pragma once

#include <functional>
#include <memory>

#include "AvSupport.h"
#include "Options.h"

struct AVFilterGraph;
struct AVFilterContext;

namespace velmo_upscale {

class AudioTranscoder {
public:
    // The codec sound of `source` is re-encoded into for output `kind`: AV_CODEC_ID_NONE when it
    // goes in as it is, or `kind` takes no sound at all.
    static AVCodecID target_for(OutputKind kind, AVCodecID source);

    // Opens the decoder, the conversion and the encoder; `global_header` for containers that keep
    // the codec set-up apart from the packets. Throws ToolError(kExitOutput) when one cannot start.
    AudioTranscoder(const AVStream& source, AVCodecID target, bool global_header);
    ~AudioTranscoder();
    AudioTranscoder(const AudioTranscoder&) = delete;
    AudioTranscoder& operator=(const AudioTranscoder&) = delete;

    // Parameters of the re-encoded stream; its packets count in time_base().
    const AVCodecParameters& parameters() const { return *_parameters; }
    AVRational time_base() const;

    using PacketSink = std::function<void(AVPacket& packet)>;
    // Decodes one packet of the source and hands every packet encoded so far to `write`. A packet
    // that cannot be decoded is skipped, as a player skips it.
    void convert(const AVPacket& packet, const PacketSink& write);
    // Encodes what the decoder, the conversion and the encoder still hold.
    void flush(const PacketSink& write);

private:
    void set_up_encoder(AVCodecID target, bool global_header);
    void set_up_conversion(const AVFrame& first);
    void receive_decoded(const PacketSink& write);
    void filter(const AVFrame* frame, const PacketSink& write);
    void encode(const AVFrame* frame, const PacketSink& write);

    struct ParametersFree {
        void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
    };
    CodecContextPtr _decoder;
    CodecContextPtr _encoder;
    std::unique_ptr<AVCodecParameters, ParametersFree> _parameters;
    AVFilterGraph* _graph = nullptr;
    AVFilterContext* _source = nullptr;
    AVFilterContext* _sink = nullptr;
    FramePtr _decoded;
    FramePtr _converted;
    PacketPtr _packet;
    AVRational _source_time_base{1, 1};
};

} // namespace velmo_upscale
