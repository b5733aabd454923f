// Decodes the best video stream of any file FFmpeg can read into RGBA8 frames of one fixed size,
// handing the packets of every other stream to the caller untouched.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AvSupport.h"
#include "ChromaFormat.h"
#include "Deinterlacer.h"
#include "InputFile.h"
#include "Options.h"
#include "Rotation.h"
#include "RgbaImage.h"

namespace velmo_upscale {

struct VideoInfo {
    int width = 0;              // the stream's frame size; frames are delivered at this size
    int height = 0;
    AVRational time_base{0, 1}; // of the video stream; frame timestamps count in it
    AVRational frame_rate{0, 1};
    int64_t frame_count = 0;    // from the container or its duration; 0 when unknown
    VideoColor color;
    AVRational sample_aspect_ratio{0, 1}; // 0/1 when unknown
    std::vector<uint8_t> display_matrix;   // the rotation a player applies; empty when none
    int bit_depth = 8;                     // bits per sample as stored
    ChromaFormat chroma;                   // chroma subsampling as stored (4:4:4 for RGB)
    bool rgb = false;                      // stored as RGB rather than YUV
    bool alpha = false;                    // with a transparency channel
    std::vector<uint8_t> mastering_display; // HDR side data of the stream; empty when none
    std::vector<uint8_t> content_light;
    std::string codec_name;
};

class VideoReader {
public:
    // Opens the file and the decoder of its best video stream. Throws ToolError(kExitInput) when
    // the file is missing, unreadable, has no video stream of known size, or no decoder for it.
    explicit VideoReader(const std::string& path);
    // The same on an input opened already (and maybe looked at), which must outlive the reader.
    // FFmpeg reads it through the tool's own I/O: names are never taken for URLs.
    explicit VideoReader(InputFile& input);
    ~VideoReader();
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    const VideoInfo& info() const { return _info; }
    // The demuxer, so the caller can look at the other streams before reading.
    const AVFormatContext* container() const { return _format; }
    int video_stream_index() const { return _video_index; }

    using PacketSink = std::function<void(AVPacket& packet)>;
    // Delivers the next frame and its timestamp in info().time_base; timestamps are strictly
    // increasing (a missing or repeated one is placed one frame after its predecessor). Packets of
    // other streams read on the way go to `other_packets` when given. Returns false at the end.
    bool read_frame(RgbaImage& frame, int64_t& pts, const PacketSink& other_packets = nullptr);
    // The same in two steps, which may run on two threads at once (for different pictures):
    // read_picture() hands over the decoded picture as it is, to_rgba() converts it (and turns it
    // upright when asked to).
    bool read_picture(AVFrame& picture, int64_t& pts, const PacketSink& other_packets = nullptr);
    void to_rgba(const AVFrame& picture, RgbaImage& frame);

    // From now on every frame comes at its own decoded size rather than the stream's.
    void keep_frame_sizes() { _own_sizes = true; }

    // How interlaced pictures are delivered (default: woven as decoded); before the first read_frame.
    // One picture per field is delivered for a stream marked interlaced, whose info() then counts
    // twice the frames in half the time base; other streams get one picture per frame.
    void set_deinterlace(DeinterlaceMode mode);
    // The field order of the pictures delivered: the stream's own where interlaced video is left
    // woven (DeinterlaceMode::Off), progressive otherwise.
    AVFieldOrder delivered_field_order() const;
    // "interlaced, top field first: deinterlaced with bwdif"; empty for progressive video.
    std::string interlace_summary() const { return _deinterlacer ? _deinterlacer->summary() : ""; }

    // For outputs that cannot carry the display matrix: frames come turned as it asks, and info()
    // describes them so (sides and pixel shape swapped for a quarter turn, no matrix). Returns the
    // clockwise degrees turned, 0 when the matrix asks for no quarter turn. Before the first read_frame.
    int turn_upright();

    // Damaged packets skipped so far (each one reported on stderr as it happens).
    int damaged_packets() const { return _damaged_packets; }
    // Why the video ended before its end (a read error, or a file cut short of what its index
    // lists); empty when it ended as it should. Read once read_frame has returned false.
    const std::string& ended_early() const { return _ended_early; }
    // The ICC profile the last frame delivered carried (a JPEG's, say); empty when none.
    const std::vector<uint8_t>& icc_profile() const { return _icc_profile; }
    // The EXIF orientation (1 to 8) the last frame delivered carried (a photo's); 1 when none.
    int exif_orientation() const { return _exif_orientation; }

private:
    void open_or_close();
    void open();
    // The steps of open(): the container and its streams; the video stream's decoder (the
    // decoder's codec is returned); what the video stream says about itself.
    void open_container();
    const AVCodec* open_decoder();
    void describe_video(const AVCodec& codec);
    void close();
    bool next_picture(const PacketSink& other_packets);
    bool decode_next(const PacketSink& other_packets);
    void convert(const AVFrame& source, RgbaImage& frame);
    int64_t next_pts();

    std::unique_ptr<InputFile> _owned_input;
    InputFile& _input;
    std::string _path;
    AVIOContext* _io = nullptr;
    AVFormatContext* _format = nullptr;
    CodecContextPtr _decoder;
    PacketPtr _packet;
    FramePtr _decoded;
    FramePtr _delivered; // read_frame's picture between its two steps
    SwsPtr _scaler;
    struct ScalerSetup {
        int width = 0;
        int height = 0;
        int format = -1;
        bool full_range = false;
        bool operator==(const ScalerSetup& other) const
        {
            return width == other.width && height == other.height && format == other.format &&
                   full_range == other.full_range;
        }
    };
    ScalerSetup _scaler_setup;
    int _video_index = -1;
    bool _flushing = false;
    bool _own_sizes = false;
    DeinterlaceMode _deinterlace = DeinterlaceMode::Off;
    std::unique_ptr<Deinterlacer> _deinterlacer;
    AVRational _decoded_time_base{0, 1}; // of the decoded frames, before a field-rate deinterlacer
    bool _decoder_drained = false;
    int _quarter_turns = 0; // clockwise, applied to every frame
    RgbaImage _unturned;
    bool _have_pts = false;
    int64_t _last_pts = 0;
    int _damaged_packets = 0;
    int64_t _frames_decoded = 0;
    bool _index_beyond_end = false;
    bool _segment_beyond_end = false; // a Matroska file shorter than its header says
    bool _media_before_index = false; // an MP4 on a pipe read past its samples to its index
    std::string _ended_early;
    std::vector<uint8_t> _icc_profile;
    int _exif_orientation = 1;
    VideoInfo _info;
};

} // namespace velmo_upscale
