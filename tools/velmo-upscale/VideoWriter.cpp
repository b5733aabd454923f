// Video encoding and muxing with FFmpeg's libraries.
#include "VideoWriter.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>
#include <new>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

// libx264 needs even sides for 4:2:0; odd-sized results keep full chroma instead of being cropped.
AVPixelFormat pixel_format_for(const VideoFormat& format)
{
    return (format.width % 2 == 0 && format.height % 2 == 0) ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV444P;
}

bool encoder_takes(const AVCodec* codec, AVPixelFormat format)
{
    if (!codec->pix_fmts)
        return true;
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format)
            return true;
    return false;
}

// H.264 through libx264 where Debian's libavcodec has it, otherwise MPEG-4 Part 2, which every
// libavcodec build can write and MP4 carries.
const AVCodec* mp4_encoder(AVPixelFormat format)
{
    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    if (x264 && encoder_takes(x264, format))
        return x264;
    return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
}

} // namespace

VideoWriter::VideoWriter(const std::string& path, OutputKind kind, const VideoFormat& format)
    : _path(path), _kind(kind)
{
    const char* muxer = kind == OutputKind::Y4m ? "yuv4mpegpipe" : "mp4";
    int result = avformat_alloc_output_context2(&_container, nullptr, muxer, path.c_str());
    if (result < 0 || !_container)
        fail("cannot set up the " + std::string(muxer) + " muxer", result);

    AVPixelFormat pixel_format = pixel_format_for(format);
    const AVCodec* codec = kind == OutputKind::Y4m ? avcodec_find_encoder(AV_CODEC_ID_WRAPPED_AVFRAME)
                                                   : mp4_encoder(pixel_format);
    if (!codec)
        throw ToolError(kExitOutput, "cannot write '" + path + "': this FFmpeg build has no suitable video encoder");
    if (!encoder_takes(codec, pixel_format))
        pixel_format = AV_PIX_FMT_YUV420P;

    _encoder.reset(avcodec_alloc_context3(codec));
    _frame.reset(av_frame_alloc());
    _packet.reset(av_packet_alloc());
    if (!_encoder || !_frame || !_packet)
        throw std::bad_alloc();

    AVCodecContext& encoder = *_encoder;
    encoder.width = format.width;
    encoder.height = format.height;
    encoder.pix_fmt = pixel_format;
    encoder.sample_aspect_ratio = format.sample_aspect_ratio.num > 0 && format.sample_aspect_ratio.den > 0
                                      ? format.sample_aspect_ratio
                                      : AVRational{1, 1};
    encoder.framerate = format.frame_rate;
    // Y4M states a frame rate and no timestamps: its time base is one frame.
    encoder.time_base = kind == OutputKind::Y4m ? av_inv_q(format.frame_rate) : format.time_base;
    encoder.colorspace = format.color.matrix;
    encoder.color_primaries = format.color.primaries;
    encoder.color_trc = format.color.transfer;
    encoder.color_range = AVCOL_RANGE_MPEG;
    encoder.thread_count = 0;
    if (_container->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* settings = nullptr;
    if (std::string(codec->name) == "libx264") {
        av_dict_set(&settings, "preset", "medium", 0);
        av_dict_set(&settings, "crf", "18", 0);
    } else if (codec->id == AV_CODEC_ID_MPEG4) {
        encoder.flags |= AV_CODEC_FLAG_QSCALE;
        encoder.global_quality = FF_QP2LAMBDA * 3;
    }
    result = avcodec_open2(_encoder.get(), codec, &settings);
    av_dict_free(&settings);
    if (result < 0)
        fail(std::string("the ") + codec->name + " encoder refused " + std::to_string(format.width) + "x" +
                 std::to_string(format.height) + " frames",
             result);

    _video_stream = avformat_new_stream(_container, nullptr);
    if (!_video_stream)
        throw std::bad_alloc();
    avcodec_parameters_from_context(_video_stream->codecpar, _encoder.get());
    _video_stream->time_base = encoder.time_base;
    _video_stream->sample_aspect_ratio = encoder.sample_aspect_ratio;
    _video_stream->avg_frame_rate = format.frame_rate;
    if (!format.display_matrix.empty()) {
        uint8_t* matrix = av_stream_new_side_data(_video_stream, AV_PKT_DATA_DISPLAYMATRIX, format.display_matrix.size());
        if (!matrix)
            throw std::bad_alloc();
        std::memcpy(matrix, format.display_matrix.data(), format.display_matrix.size());
    }
    _video_stream->r_frame_rate = format.frame_rate;

    _frame->format = pixel_format;
    _frame->width = format.width;
    _frame->height = format.height;
    result = av_frame_get_buffer(_frame.get(), 0);
    if (result < 0)
        throw std::bad_alloc();
    _converter.reset(sws_getContext(format.width, format.height, AV_PIX_FMT_RGBA, format.width, format.height,
                                    pixel_format, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                    nullptr, nullptr));
    if (!_converter)
        throw std::bad_alloc();
    const int* coefficients = sws_coefficients_for(format.color.matrix);
    sws_setColorspaceDetails(_converter.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
}

VideoWriter::~VideoWriter()
{
    if (_container) {
        if (_started)
            avio_closep(&_container->pb);
        avformat_free_context(_container);
    }
}

void VideoWriter::fail(const std::string& what, int code) const
{
    throw ToolError(kExitOutput, "cannot write '" + _path + "': " + what + (code < 0 ? ": " + av_error_text(code) : ""));
}

int VideoWriter::add_copied_stream(const AVCodecParameters& parameters, AVRational time_base)
{
    if (avformat_query_codec(_container->oformat, parameters.codec_id, FF_COMPLIANCE_NORMAL) != 1)
        return -1;
    AVStream* stream = avformat_new_stream(_container, nullptr);
    if (!stream)
        throw std::bad_alloc();
    avcodec_parameters_copy(stream->codecpar, &parameters);
    // The source container's codec tag may mean nothing here; let the muxer choose its own.
    stream->codecpar->codec_tag = 0;
    stream->time_base = time_base;
    return stream->index;
}

void VideoWriter::start()
{
    int result = avio_open(&_container->pb, _path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        fail("cannot open the file", result);
    _started = true;
    AVDictionary* settings = nullptr;
    if (_kind == OutputKind::Mp4) {
        av_dict_set(&settings, "movflags", "+faststart", 0);
        // The edit list that places a late first frame counts in the movie time scale, by default
        // milliseconds; counting in the video's own units keeps its first timestamp exact.
        AVRational video_units = _encoder->time_base;
        if (video_units.num == 1 && video_units.den > 0)
            av_dict_set_int(&settings, "movie_timescale", video_units.den, 0);
    }
    result = avformat_write_header(_container, &settings);
    av_dict_free(&settings);
    if (result < 0)
        fail("cannot write the header", result);
}

void VideoWriter::write_frame(const RgbaImage& frame, int64_t pts)
{
    int result = av_frame_make_writable(_frame.get());
    if (result < 0)
        throw std::bad_alloc();
    const uint8_t* planes[4] = {frame.pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {frame.width * 4, 0, 0, 0};
    sws_scale(_converter.get(), planes, strides, 0, frame.height, _frame->data, _frame->linesize);
    _frame->pts = _kind == OutputKind::Y4m ? _frames_in : pts;
    encode(_frame.get());
    ++_frames_in;
}

void VideoWriter::write_copied_packet(AVPacket& packet, int stream_index, AVRational time_base)
{
    packet.stream_index = stream_index;
    packet.pos = -1;
    av_packet_rescale_ts(&packet, time_base, _container->streams[stream_index]->time_base);
    int result = av_interleaved_write_frame(_container, &packet);
    if (result < 0)
        fail("cannot write a copied packet", result);
}

void VideoWriter::encode(const AVFrame* frame)
{
    int result = avcodec_send_frame(_encoder.get(), frame);
    if (result < 0)
        fail("the encoder refused a frame", result);
    for (;;) {
        result = avcodec_receive_packet(_encoder.get(), _packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        if (result < 0)
            fail("encoding failed", result);
        _packet->stream_index = _video_stream->index;
        av_packet_rescale_ts(_packet.get(), _encoder->time_base, _video_stream->time_base);
        result = av_interleaved_write_frame(_container, _packet.get());
        if (result < 0)
            fail("cannot write a video packet", result);
    }
}

void VideoWriter::finish()
{
    if (_finished)
        return;
    encode(nullptr);
    int result = av_write_trailer(_container);
    if (result < 0)
        fail("cannot complete the file", result);
    result = avio_closep(&_container->pb);
    _started = false;
    if (result < 0)
        fail("cannot close the file", result);
    _finished = true;
}

std::string VideoWriter::encoder_description() const
{
    const char* format = av_get_pix_fmt_name(_encoder->pix_fmt);
    return std::string(_encoder->codec->name) + " (" + (format ? format : "?") + ")";
}

} // namespace velmo_upscale
