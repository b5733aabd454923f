// Demuxing, decoding and RGBA conversion of one video stream with FFmpeg's libraries.
#include "VideoReader.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "ContainerChecks.h"
#include "Orientation.h"
#include "ToolError.h"
#include "Yuv420Rgba.h"

namespace velmo_upscale {
namespace {

constexpr int kMaxSide = 16384;
const AVRational kFallbackFrameRate{25, 1};

bool is_yuv(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB) && descriptor->nb_components >= 3;
}

bool full_range(const AVFrame& frame)
{
    switch (frame.format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
        return true;
    default:
        return frame.color_range == AVCOL_RANGE_JPEG;
    }
}

constexpr int kIoBufferSize = 1 << 16;
// Decoding errors beyond the pictures decoded plus this many mean the decoder cannot go on.
constexpr int64_t kDamagedAllowance = 16;

int read_input(void* opaque, uint8_t* buffer, int size)
{
    try {
        size_t count = static_cast<InputFile*>(opaque)->read(buffer, static_cast<size_t>(size));
        return count == 0 ? AVERROR_EOF : static_cast<int>(count);
    } catch (const ToolError&) {
        return AVERROR(EIO);
    }
}

int64_t seek_input(void* opaque, int64_t offset, int whence)
{
    auto* input = static_cast<InputFile*>(opaque);
    if (whence & AVSEEK_SIZE)
        return input->seekable() ? input->size() : AVERROR(ENOSYS);
    int64_t position = input->seek(offset, whence & ~AVSEEK_FORCE);
    return position >= 0 ? position : AVERROR(ESPIPE);
}

// A VP8 or VP9 stream whose container says it carries an alpha channel beside the picture.
bool alpha_beside_picture(const AVStream& stream)
{
    const AVDictionaryEntry* mode = av_dict_get(stream.metadata, "alpha_mode", nullptr, 0);
    AVCodecID codec = stream.codecpar->codec_id;
    return mode && std::string(mode->value) == "1" && (codec == AV_CODEC_ID_VP9 || codec == AV_CODEC_ID_VP8);
}

// Why FFmpeg finds nothing it can read, where the bytes say more than its error: an empty file, or
// an MP4 whose index was never written (a recording cut off, a download stopped early).
std::string unreadable_reason(InputFile& input, int error)
{
    if (input.size() == 0)
        return "the file is empty";
    uint8_t head[8] = {};
    if (input.seekable() && input.seek(0, SEEK_SET) == 0 && input.read(head, sizeof head) == sizeof head &&
        std::memcmp(head + 4, "ftyp", 4) == 0)
        return "an MP4 or MOV file without its index (the moov box): it was cut off before it was finished";
    return av_error_text(error);
}

} // namespace

VideoReader::VideoReader(const std::string& path)
    : _owned_input(std::make_unique<InputFile>(path)), _input(*_owned_input), _path(path)
{
    open_or_close();
}

VideoReader::VideoReader(InputFile& input) : _input(input), _path(input.path())
{
    open_or_close();
}

void VideoReader::open_or_close()
{
    try {
        open();
    } catch (...) {
        close();
        throw;
    }
}

void VideoReader::close()
{
    avformat_close_input(&_format);
    if (_io)
        av_freep(&_io->buffer);
    avio_context_free(&_io);
}

void VideoReader::open()
{
    open_container();
    const AVCodec* codec = open_decoder();
    describe_video(*codec);
}

void VideoReader::open_container()
{
    const std::string& path = _path;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    _io = buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, &_input, read_input, nullptr,
                                      _input.seekable() ? seek_input : nullptr)
                 : nullptr;
    _format = avformat_alloc_context();
    if (!_io || !_format) {
        if (!_io)
            av_free(buffer);
        throw std::bad_alloc();
    }
    _io->seekable = _input.seekable() ? AVIO_SEEKABLE_NORMAL : 0;
    _format->pb = _io;
    // The name only helps to guess the format; demuxers that would open further files by name
    // (playlists, references) get plain files and nothing else.
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "protocol_whitelist", "file", 0);
    int result = avformat_open_input(&_format, path.c_str(), nullptr, &settings);
    av_dict_free(&settings);
    if (result < 0)
        throw ToolError(kExitInput, "'" + path + "' is neither a PNG nor a video FFmpeg can read: " +
                                        unreadable_reason(_input, result));
    result = avformat_find_stream_info(_format, nullptr);
    if (result < 0)
        throw ToolError(kExitInput, "cannot read the streams of '" + path + "': " + av_error_text(result));
    for (unsigned i = 0; i < _format->nb_streams; ++i)
        forget_unknown_tags(*_format->streams[i]->codecpar);
}

const AVCodec* VideoReader::open_decoder()
{
    const std::string& path = _path;
    const AVCodec* codec = nullptr;
    _video_index = av_find_best_stream(_format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (_video_index == AVERROR_STREAM_NOT_FOUND)
        throw ToolError(kExitInput, "'" + path + "' has no video stream");
    if (_video_index < 0 || !codec)
        throw ToolError(kExitInput, "'" + path + "': no decoder for its video stream");

    AVStream* stream = _format->streams[_video_index];
    const AVCodecParameters* parameters = stream->codecpar;
    // WebM's VP8 and VP9 carry transparency beside the picture; only libvpx's decoders read it.
    if (alpha_beside_picture(*stream))
        if (const AVCodec* libvpx = avcodec_find_decoder_by_name(
                parameters->codec_id == AV_CODEC_ID_VP9 ? "libvpx-vp9" : "libvpx"))
            codec = libvpx;
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > kMaxSide ||
        parameters->height > kMaxSide)
        throw ToolError(kExitInput, "'" + path + "': unsupported frame size " + std::to_string(parameters->width) +
                                        "x" + std::to_string(parameters->height));

    _decoder.reset(avcodec_alloc_context3(codec));
    _packet.reset(av_packet_alloc());
    _decoded.reset(av_frame_alloc());
    _delivered.reset(av_frame_alloc());
    if (!_decoder || !_packet || !_decoded || !_delivered)
        throw std::bad_alloc();
    avcodec_parameters_to_context(_decoder.get(), parameters);
    _decoder->pkt_timebase = stream->time_base;
    _decoder->thread_count = 0;
    int result = avcodec_open2(_decoder.get(), codec, nullptr);
    if (result < 0)
        throw ToolError(kExitInput, "cannot decode the " + std::string(codec->name) + " video of '" + path +
                                        "': " + av_error_text(result));
    return codec;
}

void VideoReader::describe_video(const AVCodec& codec)
{
    AVStream* stream = _format->streams[_video_index];
    const AVCodecParameters* parameters = stream->codecpar;
    _info.width = parameters->width;
    _info.height = parameters->height;
    _info.time_base = stream->time_base;
    _info.frame_rate = av_guess_frame_rate(_format, stream, nullptr);
    if (_info.frame_rate.num <= 0 || _info.frame_rate.den <= 0)
        _info.frame_rate = kFallbackFrameRate;
    _info.codec_name = codec.name;
    if (stream->nb_frames > 0)
        _info.frame_count = stream->nb_frames;
    else if (stream->duration > 0)
        _info.frame_count = av_rescale_q(stream->duration, stream->time_base, av_inv_q(_info.frame_rate));
    else if (_format->duration > 0)
        _info.frame_count = av_rescale_q(_format->duration, AV_TIME_BASE_Q, av_inv_q(_info.frame_rate));

    // Without a stated matrix, players assume BT.601 below HD and BT.709 from HD on; so do we.
    _info.color.matrix = parameters->color_space != AVCOL_SPC_UNSPECIFIED && parameters->color_space != AVCOL_SPC_RGB
                             ? parameters->color_space
                             : (parameters->height < 720 ? AVCOL_SPC_SMPTE170M : AVCOL_SPC_BT709);
    _info.color.matrix_stated =
        parameters->color_space != AVCOL_SPC_UNSPECIFIED && parameters->color_space != AVCOL_SPC_RGB;
    _info.color.primaries = parameters->color_primaries;
    _info.sample_aspect_ratio = av_guess_sample_aspect_ratio(_format, stream, nullptr);
    _info.color.transfer = parameters->color_trc;
    // Range means something for YUV only; an RGB input is written in the usual limited range.
    auto format = static_cast<AVPixelFormat>(parameters->format);
    if (is_yuv(format))
        _info.color.range = parameters->color_range;
    if (format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
        format == AV_PIX_FMT_YUVJ440P)
        _info.color.range = AVCOL_RANGE_JPEG;
    if (const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format))
        _info.bit_depth = descriptor->comp[0].depth;
    const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(format);
    _info.rgb = layout && (layout->flags & AV_PIX_FMT_FLAG_RGB);
    _info.alpha = (layout && (layout->flags & AV_PIX_FMT_FLAG_ALPHA)) ||
                  (alpha_beside_picture(*stream) && std::string(codec.name).rfind("libvpx", 0) == 0);
    _info.chroma = _info.rgb ? ChromaFormat{0, 0} : chroma_format_of(format);
    auto side_data = [stream](AVPacketSideDataType type, std::vector<uint8_t>& copy) {
        size_t size = 0;
        const uint8_t* data = av_stream_get_side_data(stream, type, &size);
        if (data)
            copy.assign(data, data + size);
    };
    side_data(AV_PKT_DATA_DISPLAYMATRIX, _info.display_matrix);
    side_data(AV_PKT_DATA_MASTERING_DISPLAY_METADATA, _info.mastering_display);
    side_data(AV_PKT_DATA_CONTENT_LIGHT_LEVEL, _info.content_light);

    int entries = avformat_index_get_entries_count(stream);
    const AVIndexEntry* last = entries > 0 ? avformat_index_get_entry(stream, entries - 1) : nullptr;
    _index_beyond_end = last && _input.size() >= 0 && last->pos + last->size > _input.size();
    _segment_beyond_end = matroska_cut_short(*_format, _input.size());
    _media_before_index = media_before_index_on_pipe(*_format, *stream, _input.seekable());
}

VideoReader::~VideoReader()
{
    close();
}

bool VideoReader::read_frame(RgbaImage& frame, int64_t& pts, const PacketSink& other_packets)
{
    if (!read_picture(*_delivered, pts, other_packets))
        return false;
    to_rgba(*_delivered, frame);
    av_frame_unref(_delivered.get());
    return true;
}

bool VideoReader::read_picture(AVFrame& picture, int64_t& pts, const PacketSink& other_packets)
{
    if (!next_picture(other_packets)) {
        if (_frames_decoded == 0 && _media_before_index)
            throw ToolError(kExitInput, media_before_index_message(_path));
        return false;
    }
    pts = next_pts();
    const AVFrameSideData* icc = av_frame_get_side_data(_decoded.get(), AV_FRAME_DATA_ICC_PROFILE);
    _icc_profile.assign(icc ? icc->data : nullptr, icc ? icc->data + icc->size : nullptr);
    const AVDictionaryEntry* orientation = av_dict_get(_decoded->metadata, "Orientation", nullptr, 0);
    _exif_orientation = orientation_from_text(orientation ? orientation->value : nullptr);
    av_frame_unref(&picture);
    av_frame_move_ref(&picture, _decoded.get());
    return true;
}

void VideoReader::to_rgba(const AVFrame& picture, RgbaImage& frame)
{
    if (_quarter_turns == 0) {
        convert(picture, frame);
    } else {
        convert(picture, _unturned);
        turn_clockwise(_unturned, _quarter_turns, frame);
    }
}

void VideoReader::set_deinterlace(DeinterlaceMode mode)
{
    AVFieldOrder order = _format->streams[_video_index]->codecpar->field_order;
    bool marked_interlaced = order != AV_FIELD_UNKNOWN && order != AV_FIELD_PROGRESSIVE;
    _deinterlace = mode == DeinterlaceMode::Fields && !marked_interlaced ? DeinterlaceMode::Auto : mode;
    if (_deinterlace == DeinterlaceMode::Fields && _decoded_time_base.num == 0) {
        _decoded_time_base = _info.time_base;
        _info.time_base.den *= 2;
        _info.frame_rate = av_mul_q(_info.frame_rate, AVRational{2, 1});
        _info.frame_count *= 2;
    }
}

AVFieldOrder VideoReader::delivered_field_order() const
{
    AVFieldOrder order = _format->streams[_video_index]->codecpar->field_order;
    bool marked_interlaced = order != AV_FIELD_UNKNOWN && order != AV_FIELD_PROGRESSIVE;
    return _deinterlace == DeinterlaceMode::Off && marked_interlaced ? order : AV_FIELD_PROGRESSIVE;
}

int VideoReader::turn_upright()
{
    _quarter_turns = clockwise_quarter_turns(_info.display_matrix);
    if (_quarter_turns == 0)
        return 0;
    _info.display_matrix.clear();
    if (_quarter_turns % 2 != 0) {
        std::swap(_info.width, _info.height);
        std::swap(_info.sample_aspect_ratio.num, _info.sample_aspect_ratio.den);
    }
    return 90 * _quarter_turns;
}

// The next decoded picture, deinterlaced where it is interlaced and the reader is asked to.
bool VideoReader::next_picture(const PacketSink& other_packets)
{
    if (!_deinterlacer)
        _deinterlacer = std::make_unique<Deinterlacer>(
            _deinterlace, _format->streams[_video_index]->codecpar->field_order,
            _decoded_time_base.num > 0 ? _decoded_time_base : _info.time_base, _info.time_base, _path);
    for (;;) {
        if (_deinterlacer->pull(_decoded.get()))
            return true;
        if (_decoder_drained)
            return false;
        _decoder_drained = !decode_next(other_packets);
        _deinterlacer->push(_decoder_drained ? nullptr : _decoded.get());
    }
}

bool VideoReader::decode_next(const PacketSink& other_packets)
{
    for (;;) {
        int result = avcodec_receive_frame(_decoder.get(), _decoded.get());
        if (result == 0) {
            ++_frames_decoded;
            return true;
        }
        if (result == AVERROR_EOF)
            return false;
        if (result != AVERROR(EAGAIN)) {
            // A picture the decoder could not finish (a damaged or cut-off packet) is skipped
            // like a damaged packet; a decoder that only fails stops the video.
            if (++_damaged_packets > kDamagedAllowance + _frames_decoded)
                throw ToolError(kExitInput, "cannot decode '" + _path + "': " + av_error_text(result));
            std::fprintf(stderr, "velmo-upscale: skipped a picture of '%s' that could not be decoded: %s\n",
                         _path.c_str(), av_error_text(result).c_str());
            continue;
        }
        if (_flushing)
            return false;

        result = av_read_frame(_format, _packet.get());
        if (result < 0) {
            // What was read so far is kept; the caller learns that the rest is missing.
            if (result != AVERROR_EOF)
                _ended_early = "reading failed: " + av_error_text(result);
            else if (_index_beyond_end)
                _ended_early = "the file is cut short of what its index lists";
            else if (_segment_beyond_end)
                _ended_early = "the file is cut short of the size its header announces";
            avcodec_send_packet(_decoder.get(), nullptr);
            _flushing = true;
            continue;
        }

        if (_packet->stream_index == _video_index) {
            result = avcodec_send_packet(_decoder.get(), _packet.get());
            // One damaged packet costs one picture, as in a player; the rest of the video is kept.
            if (result < 0 && result != AVERROR(EAGAIN)) {
                ++_damaged_packets;
                std::fprintf(stderr, "velmo-upscale: skipped a damaged video packet in '%s': %s\n", _path.c_str(),
                             av_error_text(result).c_str());
            }
        } else if (other_packets) {
            other_packets(*_packet);
        }
        av_packet_unref(_packet.get());
    }
}

void VideoReader::convert(const AVFrame& source, RgbaImage& frame)
{
    const bool sideways = _quarter_turns % 2 != 0;
    const int width = _own_sizes ? source.width : sideways ? _info.height : _info.width;
    const int height = _own_sizes ? source.height : sideways ? _info.width : _info.height;
    auto format = static_cast<AVPixelFormat>(source.format);
    if (Yuv420Rgba::takes(format) && width == source.width && height == source.height) {
        if (auto conversion = Yuv420Rgba::for_layout(_info.color.matrix, full_range(source), source.chroma_location)) {
            if (frame.width != width || frame.height != height)
                frame = RgbaImage(width, height);
            conversion->to_rgba(source, frame.pixels.data(), width * 4);
            return;
        }
    }
    // Full chroma interpolation takes libswscale's exact YUV-to-RGB path: without it, accurate
    // rounding into packed RGB maps limited-range levels about 2 codes too dark (luma 70 to 68).
    SwsContext* scaler = sws_getCachedContext(_scaler.release(), source.width, source.height, format, width,
                                              height, AV_PIX_FMT_RGBA,
                                              SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                              nullptr, nullptr);
    _scaler.reset(scaler);
    if (!scaler)
        throw ToolError(kExitInput, "'" + _path + "': cannot convert " +
                                        std::string(av_get_pix_fmt_name(format) ? av_get_pix_fmt_name(format) : "?") +
                                        " frames of " + std::to_string(source.width) + "x" +
                                        std::to_string(source.height) + " to RGBA");
    // The cached context may be a new one even at the same address, so remember what it was set
    // up for rather than which object it is.
    ScalerSetup setup{source.width, source.height, source.format, full_range(source)};
    if (!(setup == _scaler_setup)) {
        if (is_yuv(format)) {
            const int* coefficients = sws_coefficients_for(_info.color.matrix);
            sws_setColorspaceDetails(scaler, coefficients, setup.full_range ? 1 : 0, coefficients, 1, 0, 1 << 16,
                                     1 << 16);
        }
        _scaler_setup = setup;
    }

    if (frame.width != width || frame.height != height)
        frame = RgbaImage(width, height);
    uint8_t* planes[4] = {frame.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {width * 4, 0, 0, 0};
    sws_scale(scaler, source.data, source.linesize, 0, source.height, planes, strides);
}

int64_t VideoReader::next_pts()
{
    int64_t step = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(_info.frame_rate), _info.time_base));
    int64_t pts = _decoded->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE || (_have_pts && pts <= _last_pts))
        pts = _have_pts ? _last_pts + step : 0;
    _last_pts = pts;
    _have_pts = true;
    return pts;
}

} // namespace velmo_upscale
