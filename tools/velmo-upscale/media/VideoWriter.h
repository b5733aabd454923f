// Encodes RGBA8 frames into an MP4 or Matroska file (libx264 or the encoder asked for) or a Y4M
// file, and muxes the other streams, chapters and tags of the input into it unchanged.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioTranscoder.h"
#include "AvSupport.h"
#include "ChromaFormat.h"
#include "Options.h"
#include "RgbaImage.h"
#include "SubtitleConverter.h"
#include "Yuv420Rgba.h"

namespace velmo_upscale {

struct EncoderChoice;

struct VideoFormat {
    int width = 0;
    int height = 0;
    // The size of the RGBA pictures handed in, when it is not the output's (an odd side made
    // even): they are resized as they are converted. 0 for the output's own size.
    int picture_width = 0;
    int picture_height = 0;
    AVRational time_base{1, 25}; // frame timestamps count in it
    // The input's start in AV_TIME_BASE units: the output starts at 0 as ffmpeg's do, every
    // stream and chapter moved by as much, so that they stay in step.
    int64_t start_time = 0;
    AVRational frame_rate{25, 1};
    VideoColor color;
    // Upscaling keeps the picture's proportions, so the pixel shape and the rotation a player
    // applies carry over unchanged.
    AVRational sample_aspect_ratio{1, 1};
    std::vector<uint8_t> display_matrix;
    // Bits per sample of the input: above 8 the output is written with 10 or 12 where the encoder can.
    int bit_depth = 8;
    // The input's chroma layout, kept where the encoder takes it.
    ChromaFormat chroma;
    // An RGB input, kept RGB where the encoder takes it.
    bool rgb = false;
    // Progressive, or the order of the fields of frames written woven.
    AVFieldOrder field_order = AV_FIELD_PROGRESSIVE;
    // An input with transparency, kept where the container and encoder take it.
    bool alpha = false;
    // HDR side data as FFmpeg stores it (AVMasteringDisplayMetadata, AVContentLightMetadata);
    // empty when the input has none.
    std::vector<uint8_t> mastering_display;
    std::vector<uint8_t> content_light;
};

class VideoWriter {
public:
    // Sets up the container and the video encoder; `path` is opened in start() as a plain file, or
    // standard output for "-"; messages name `display_name` (default: the path). `kind` is Mp4, Mkv
    // or Y4m. Throws ToolError(kExitUsage) for an encoder request that cannot be met (see
    // choose_encoder) or a frame size the encoder refuses.
    VideoWriter(const std::string& path, OutputKind kind, const VideoFormat& format,
                const EncoderRequest& request = {}, const std::string& display_name = "");
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Adds a stream whose packets are written as they come. Returns its index, or -1 when the
    // container cannot carry that codec (nothing is added then). Only before start().
    int add_copied_stream(const AVCodecParameters& parameters, AVRational time_base);
    // The same for a stream of an input file, with its tags, marks (default, forced, ...) and side
    // data; attachments such as fonts go into Matroska only. Text subtitles the container cannot
    // carry are converted to a text format it can (see SubtitleConverter), sound to a codec it
    // plays (see AudioTranscoder).
    int add_copied_stream(const AVStream& source);
    // The codec a copied stream is written in: its own, or the text format it is converted to.
    AVCodecID copied_codec(int stream_index) const;
    // Carries over the file's tags and chapters and the upscaled stream's tags and marks, except
    // those describing the old encoding. Only before start().
    void keep_items_of(const AVFormatContext& input, const AVStream& video);

    // Opens the file and writes the header; throws ToolError(kExitOutput).
    void start();
    // Encodes one frame of the format's size; `pts` counts in the format's time base. A Y4M file
    // has a constant rate and no timestamps: each frame takes the frame slot its time falls in, a
    // gap holds the frame before it (repeated) and a frame whose slot is taken is dropped, as
    // ffmpeg does for constant-rate outputs.
    void write_frame(const RgbaImage& frame, int64_t pts);
    // The same in two steps, which may run on two threads at once (for different frames):
    // convert() turns an RGBA picture of picture_width() x picture_height(), rows `stride` bytes apart, into
    // `frame`, which gets the encoder's pixel format on first use and a buffer of its own whenever
    // the encoder still holds the last one; write_frame() encodes it.
    void convert(const uint8_t* pixels, int stride, AVFrame& frame);
    void write_frame(AVFrame& frame, int64_t pts);
    // Writes a packet of a copied stream; `time_base` is the one its timestamps count in.
    void write_copied_packet(AVPacket& packet, int stream_index, AVRational time_base);
    // Drains the encoder and completes the file; throws ToolError(kExitOutput).
    void finish();

    // "libx264 (yuv420p)" and the like, for the summary.
    std::string encoder_description() const;
    // Empty, or what the encoder could not keep of the input ("libx264 cannot write 10-bit ...").
    const std::string& downgrade() const { return _downgrade; }
    // The size of the RGBA pictures convert() takes.
    int picture_width() const { return _picture_width; }
    int picture_height() const { return _picture_height; }
    // Whether the frames' alpha is encoded.
    bool keeps_alpha() const;
    // The container's name for messages: "MP4", "MKV" or "Y4M".
    const char* format_name() const;
    int64_t frames_written() const { return _frames_in; }
    // Y4M frames repeated to fill gaps, and frames dropped, to keep the constant rate.
    int64_t frames_repeated() const { return _repeated; }
    int64_t frames_dropped() const { return _dropped; }

private:
    void set_up(const VideoFormat& format, const EncoderRequest& request);
    // The steps of set_up: the encoder (its frame description, then opened with the chosen
    // settings), the video stream, the RGBA-to-YUV converter.
    void configure_encoder(const VideoFormat& format, AVPixelFormat pixel_format);
    void open_encoder(const VideoFormat& format, const EncoderRequest& request, const EncoderChoice& choice);
    void add_video_stream(const VideoFormat& format);
    void set_up_conversion(const VideoFormat& format, AVPixelFormat pixel_format);
    void encode(const AVFrame* frame);
    void write_at_constant_rate(AVFrame& frame, int64_t slot);
    void write_packet(AVPacket& packet, int stream_index, AVRational time_base);
    [[noreturn]] void fail(const std::string& what, int code) const;

    std::string _path;
    std::string _display_name;
    OutputKind _kind;
    AVFormatContext* _container = nullptr;
    CodecContextPtr _encoder;
    AVStream* _video_stream = nullptr;
    FramePtr _frame;
    PacketPtr _packet;
    SwsPtr _converter;
    std::optional<Yuv420Rgba> _yuv420; // taken instead of _converter where it covers the output
    bool _started = false;
    bool _finished = false;
    int64_t _frames_in = 0;
    AVRational _time_base{1, 25}; // of the frames handed in
    int _picture_width = 0;
    int _picture_height = 0;
    int64_t _start_time = 0;      // AV_TIME_BASE units
    int64_t _slots = 0;           // Y4M frames written, repeats included
    int64_t _repeated = 0;
    int64_t _dropped = 0;
    FramePtr _held; // the last Y4M frame, repeated over a gap
    std::string _downgrade;
    std::map<int, std::unique_ptr<SubtitleConverter>> _subtitle_converters; // by output stream
    std::map<int, std::unique_ptr<AudioTranscoder>> _audio_transcoders;     // by output stream
};

} // namespace velmo_upscale
