// Video encoding and muxing with FFmpeg's libraries.
#include "VideoWriter.h"

extern "C" {
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "EncoderChoice.h"
#include "SubtitleConverter.h"
#include "ToolError.h"

namespace velmo_upscale {
namespace {

const char* muxer_for(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Y4m:
        return "yuv4mpegpipe";
    case OutputKind::Mkv:
        return "matroska";
    case OutputKind::Webm:
        return "webm";
    case OutputKind::Mov:
        return "mov";
    default:
        return "mp4";
    }
}

// Names are files, never URLs: "pipe:1.mp4" is a file of that name. The muxer keeps this as the
// file's URL too, and MP4's faststart pass opens the file again through it.
std::string file_url(const std::string& path)
{
    return path == "-" ? "pipe:1" : "file:" + path;
}

void add_side_data(AVStream* stream, AVPacketSideDataType type, const std::vector<uint8_t>& data)
{
    if (data.empty())
        return;
    uint8_t* copy = av_stream_new_side_data(stream, type, data.size());
    if (!copy)
        throw std::bad_alloc();
    std::memcpy(copy, data.data(), data.size());
}

bool is_rgb(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_RGB);
}

long scaled(AVRational value, double unit)
{
    return std::lround(av_q2d(value) * unit);
}

// libx265 writes HDR10 metadata into the bitstream only from its own parameters; containers
// without a place for it (MP4 in this FFmpeg) then still carry it inside the video.
std::string x265_hdr_parameters(const VideoFormat& format)
{
    std::string parameters;
    if (format.mastering_display.size() >= sizeof(AVMasteringDisplayMetadata)) {
        AVMasteringDisplayMetadata display;
        std::memcpy(&display, format.mastering_display.data(), sizeof display);
        if (display.has_primaries && display.has_luminance) {
            // Chromaticities in 0.00002 steps, luminance in 0.0001 cd/m2; green, blue, red order.
            auto point = [](const AVRational xy[2]) {
                return "(" + std::to_string(scaled(xy[0], 50000)) + "," + std::to_string(scaled(xy[1], 50000)) + ")";
            };
            parameters += "master-display=G" + point(display.display_primaries[1]) + "B" +
                          point(display.display_primaries[2]) + "R" + point(display.display_primaries[0]) + "WP" +
                          point(display.white_point) + "L(" + std::to_string(scaled(display.max_luminance, 10000)) +
                          "," + std::to_string(scaled(display.min_luminance, 10000)) + ")";
        }
    }
    if (format.content_light.size() >= sizeof(AVContentLightMetadata)) {
        AVContentLightMetadata light;
        std::memcpy(&light, format.content_light.data(), sizeof light);
        parameters += std::string(parameters.empty() ? "" : ":") + "max-cll=" + std::to_string(light.MaxCLL) + "," +
                      std::to_string(light.MaxFALL);
    }
    return parameters.empty() ? parameters : "hdr10=1:" + parameters;
}

// The parameters, time base and, from `source`, the tags, marks and side data of a copied stream.
void copy_stream(AVStream& stream, const AVCodecParameters& parameters, AVRational time_base, const AVStream* source)
{
    if (avcodec_parameters_copy(stream.codecpar, &parameters) < 0)
        throw std::bad_alloc();
    // The source container's codec tag may mean nothing here; let the muxer choose its own.
    stream.codecpar->codec_tag = 0;
    stream.time_base = time_base;
    if (!source)
        return;
    if (av_dict_copy(&stream.metadata, source->metadata, 0) < 0)
        throw std::bad_alloc();
    stream.disposition = source->disposition;
    for (int i = 0; i < source->nb_side_data; ++i) {
        const AVPacketSideData& data = source->side_data[i];
        add_side_data(&stream, data.type, std::vector<uint8_t>(data.data, data.data + data.size));
    }
}

// Whether the muxer starts a file holding this stream alone. Some codecs it lists as carried it
// still refuses (FLAC and TrueHD in MP4 are experimental in this FFmpeg), which would otherwise
// fail the whole output when its header is written.
bool muxer_accepts(const AVOutputFormat* format, const AVStream& source)
{
    struct Trial {
        AVFormatContext* context = nullptr;
        ~Trial()
        {
            if (context && context->pb) {
                uint8_t* written = nullptr;
                avio_close_dyn_buf(context->pb, &written);
                av_free(written);
                context->pb = nullptr;
            }
            avformat_free_context(context);
        }
    } trial;
    if (avformat_alloc_output_context2(&trial.context, format, nullptr, nullptr) < 0 || !trial.context)
        throw std::bad_alloc();
    AVStream* stream = avformat_new_stream(trial.context, nullptr);
    if (!stream || avio_open_dyn_buf(&trial.context->pb) < 0)
        throw std::bad_alloc();
    copy_stream(*stream, *source.codecpar, source.time_base, &source);
    return avformat_write_header(trial.context, nullptr) >= 0;
}

} // namespace

VideoWriter::VideoWriter(const std::string& path, OutputKind kind, const VideoFormat& format,
                         const EncoderRequest& request, const std::string& display_name)
    : _path(path), _display_name(display_name.empty() ? path : display_name), _kind(kind)
{
    // The destructor does not run for a constructor that throws; the container is the one raw
    // resource by then (the file is opened only in start()).
    try {
        set_up(format, request);
    } catch (...) {
        avformat_free_context(_container);
        throw;
    }
}

void VideoWriter::set_up(const VideoFormat& format, const EncoderRequest& request)
{
    const OutputKind kind = _kind;
    _time_base = format.time_base;
    _picture_width = format.picture_width > 0 ? format.picture_width : format.width;
    _picture_height = format.picture_height > 0 ? format.picture_height : format.height;
    _start_time = format.start_time;
    _held.reset(av_frame_alloc());
    if (!_held)
        throw std::bad_alloc();
    const char* muxer = muxer_for(kind);
    int result = avformat_alloc_output_context2(&_container, nullptr, muxer, file_url(_path).c_str());
    if (result < 0 || !_container)
        fail("cannot set up the " + std::string(muxer) + " muxer", result);
    // Y4M's 10-bit layouts are FFmpeg's extension of the format, which its muxer writes on request.
    if (kind == OutputKind::Y4m)
        _container->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;

    EncoderChoice choice = choose_encoder(request, kind == OutputKind::Y4m ? nullptr : _container->oformat,
                                          format.width, format.height, format.bit_depth, format.chroma, format.rgb,
                                          format.alpha);
    _downgrade = choice.downgrade;
    open_encoder(format, request, choice);
    add_video_stream(format);
    set_up_conversion(format, choice.pixel_format);
}

void VideoWriter::configure_encoder(const VideoFormat& format, AVPixelFormat pixel_format)
{
    const OutputKind kind = _kind;
    bool full_range = format.color.range == AVCOL_RANGE_JPEG;
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
    encoder.color_primaries = format.color.primaries;
    encoder.color_trc = format.color.transfer;
    // Names only the matrix the input states: an untagged input gives an untagged output, which
    // players read as they read the input. RGB is full range by nature.
    if (is_rgb(pixel_format)) {
        encoder.colorspace = AVCOL_SPC_RGB;
        encoder.color_range = AVCOL_RANGE_JPEG;
    } else {
        encoder.colorspace = format.color.matrix_stated ? format.color.matrix : AVCOL_SPC_UNSPECIFIED;
        encoder.color_range = full_range ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    }
    // Woven frames are coded and marked as interlaced, so that players deinterlace them.
    encoder.field_order = format.field_order;
    if (format.field_order != AV_FIELD_PROGRESSIVE)
        encoder.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    encoder.thread_count = 0;
    if (_container->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
}

void VideoWriter::open_encoder(const VideoFormat& format, const EncoderRequest& request, const EncoderChoice& choice)
{
    const AVCodec* codec = choice.codec;
    AVPixelFormat pixel_format = choice.pixel_format;
    _encoder.reset(avcodec_alloc_context3(codec));
    _frame.reset(av_frame_alloc());
    _packet.reset(av_packet_alloc());
    if (!_encoder || !_frame || !_packet)
        throw std::bad_alloc();
    configure_encoder(format, pixel_format);
    AVCodecContext& encoder = *_encoder;
    AVDictionary* settings = nullptr;
    for (const auto& [name, value] : choice.settings)
        av_dict_set(&settings, name.c_str(), value.c_str(), 0);
    if (codec->id == AV_CODEC_ID_MPEG4 && request.crf.empty()) {
        encoder.flags |= AV_CODEC_FLAG_QSCALE;
        encoder.global_quality = FF_QP2LAMBDA * 3;
    }
    // x265 and SVT-AV1 log through their own channels rather than FFmpeg's: quiet them the same way.
    if (std::string(codec->name) == "libx265") {
        std::string parameters = std::string("log-level=") + (ffmpeg_verbose() ? "warning" : "error");
        std::string hdr = x265_hdr_parameters(format);
        av_dict_set(&settings, "x265-params", (parameters + (hdr.empty() ? "" : ":" + hdr)).c_str(), 0);
    } else if (std::string(codec->name) == "libsvtav1") {
        ::setenv("SVT_LOG", ffmpeg_verbose() ? "2" : "1", 0);
    }
    int result = avcodec_open2(_encoder.get(), codec, &settings);
    av_dict_free(&settings);
    if (result < 0)
        throw ToolError(kExitUsage, std::string("the ") + codec->name + " encoder refuses " +
                                        std::to_string(format.width) + "x" + std::to_string(format.height) + " " +
                                        av_get_pix_fmt_name(pixel_format) + " frames" +
                                        (request.crf.empty() ? "" : " at --crf " + request.crf) +
                                        (request.preset.empty() ? "" : " with --preset " + request.preset) +
                                        " for '" + _display_name + "': " + av_error_text(result));
}

void VideoWriter::add_video_stream(const VideoFormat& format)
{
    _video_stream = avformat_new_stream(_container, nullptr);
    if (!_video_stream)
        throw std::bad_alloc();
    avcodec_parameters_from_context(_video_stream->codecpar, _encoder.get());
    // MP4's default tag for HEVC, hev1, is refused by Apple's players; hvc1 plays everywhere.
    if ((_kind == OutputKind::Mp4 || _kind == OutputKind::Mov) && _encoder->codec_id == AV_CODEC_ID_HEVC)
        _video_stream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    _video_stream->time_base = _encoder->time_base;
    _video_stream->sample_aspect_ratio = _encoder->sample_aspect_ratio;
    _video_stream->avg_frame_rate = format.frame_rate;
    add_side_data(_video_stream, AV_PKT_DATA_DISPLAYMATRIX, format.display_matrix);
    add_side_data(_video_stream, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, format.mastering_display);
    add_side_data(_video_stream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, format.content_light);
    _video_stream->r_frame_rate = format.frame_rate;
}

void VideoWriter::set_up_conversion(const VideoFormat& format, AVPixelFormat pixel_format)
{
    const bool full_range = format.color.range == AVCOL_RANGE_JPEG;
    // The encoder is given no chroma siting, which decoders read as left.
    if (Yuv420Rgba::takes(pixel_format) && _picture_width == format.width && _picture_height == format.height) {
        _yuv420 = Yuv420Rgba::for_layout(format.color.matrix, full_range, AVCHROMA_LOC_UNSPECIFIED);
        if (_yuv420)
            return;
    }
    _converter.reset(sws_getContext(_picture_width, _picture_height, AV_PIX_FMT_RGBA, format.width, format.height,
                                    pixel_format, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                                    nullptr, nullptr));
    if (!_converter)
        throw std::bad_alloc();
    const int* coefficients = sws_coefficients_for(format.color.matrix);
    sws_setColorspaceDetails(_converter.get(), coefficients, 1, coefficients, full_range ? 1 : 0, 0, 1 << 16,
                             1 << 16);
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
    throw ToolError(kExitOutput,
                    "cannot write '" + _display_name + "': " + what + (code < 0 ? ": " + av_error_text(code) : ""));
}

int VideoWriter::add_copied_stream(const AVCodecParameters& parameters, AVRational time_base)
{
    if (avformat_query_codec(_container->oformat, parameters.codec_id, FF_COMPLIANCE_NORMAL) != 1)
        return -1;
    AVStream* stream = avformat_new_stream(_container, nullptr);
    if (!stream)
        throw std::bad_alloc();
    copy_stream(*stream, parameters, time_base, nullptr);
    return stream->index;
}

int VideoWriter::add_copied_stream(const AVStream& source)
{
    // Attachments have no packets: the file travels in the parameters' extra data, its name and
    // type in the tags. Of the tool's outputs only Matroska carries them.
    bool attachment = source.codecpar->codec_type == AVMEDIA_TYPE_ATTACHMENT;
    bool audio = source.codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    AVCodecID audio_target = audio ? AudioTranscoder::target_for(_kind, source.codecpar->codec_id) : AV_CODEC_ID_NONE;
    bool as_it_is = attachment ? _kind == OutputKind::Mkv
                               : audio_target == AV_CODEC_ID_NONE &&
                                     avformat_query_codec(_container->oformat, source.codecpar->codec_id,
                                                          FF_COMPLIANCE_NORMAL) == 1;
    if (as_it_is && muxer_accepts(_container->oformat, source)) {
        AVStream* stream = avformat_new_stream(_container, nullptr);
        if (!stream)
            throw std::bad_alloc();
        copy_stream(*stream, *source.codecpar, source.time_base, &source);
        return stream->index;
    }

    if (audio_target != AV_CODEC_ID_NONE) {
        std::unique_ptr<AudioTranscoder> transcoder;
        try {
            transcoder = std::make_unique<AudioTranscoder>(source, audio_target,
                                                           _container->oformat->flags & AVFMT_GLOBALHEADER);
        } catch (const ToolError&) {
            return -1; // left out like any other stream the container cannot take
        }
        AVStream* stream = avformat_new_stream(_container, nullptr);
        if (!stream)
            throw std::bad_alloc();
        copy_stream(*stream, transcoder->parameters(), transcoder->time_base(), &source);
        _audio_transcoders[stream->index] = std::move(transcoder);
        return stream->index;
    }
    AVCodecID text_format = SubtitleConverter::target_for(_kind, source.codecpar->codec_id);
    if (text_format == AV_CODEC_ID_NONE)
        return -1;
    std::unique_ptr<SubtitleConverter> converter;
    try {
        converter = std::make_unique<SubtitleConverter>(source, text_format);
    } catch (const ToolError&) {
        return -1; // left out like any other stream the container cannot take
    }
    AVStream* stream = avformat_new_stream(_container, nullptr);
    if (!stream)
        throw std::bad_alloc();
    copy_stream(*stream, converter->parameters(), source.time_base, &source);
    _subtitle_converters[stream->index] = std::move(converter);
    return stream->index;
}

AVCodecID VideoWriter::copied_codec(int stream_index) const
{
    return _container->streams[stream_index]->codecpar->codec_id;
}

void VideoWriter::keep_items_of(const AVFormatContext& input, const AVStream& video)
{
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(input.metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
        if (!is_encoding_tag(tag->key) && av_dict_set(&_container->metadata, tag->key, tag->value, 0) < 0)
            throw std::bad_alloc();
    while ((tag = av_dict_get(video.metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
        if (!is_encoding_tag(tag->key) && av_dict_set(&_video_stream->metadata, tag->key, tag->value, 0) < 0)
            throw std::bad_alloc();
    _video_stream->disposition = video.disposition;

    for (unsigned i = 0; i < input.nb_chapters; ++i) {
        const AVChapter& source = *input.chapters[i];
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            throw std::bad_alloc();
        chapter->id = source.id;
        chapter->time_base = source.time_base;
        int64_t shift = av_rescale_q(_start_time, AV_TIME_BASE_Q, source.time_base);
        chapter->start = source.start - shift;
        chapter->end = source.end - shift;
        auto** chapters = static_cast<AVChapter**>(
            av_realloc_array(_container->chapters, _container->nb_chapters + 1, sizeof(AVChapter*)));
        if (!chapters) {
            av_free(chapter);
            throw std::bad_alloc();
        }
        // The container owns its chapters from here on and frees them with itself.
        _container->chapters = chapters;
        chapters[_container->nb_chapters++] = chapter;
        if (av_dict_copy(&chapter->metadata, source.metadata, 0) < 0)
            throw std::bad_alloc();
    }
}

void VideoWriter::start()
{
    int result = avio_open(&_container->pb, file_url(_path).c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        fail("cannot open the file", result);
    _started = true;
    AVDictionary* settings = nullptr;
    if (_kind == OutputKind::Mkv || _kind == OutputKind::Webm) {
        // Marks copied as they are; only a video or audio type without any default gets one.
        av_dict_set(&settings, "default_mode", "infer_no_subs", 0);
    } else if (_kind == OutputKind::Mp4 || _kind == OutputKind::Mov) {
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
    convert(frame.pixels.data(), frame.width * 4, *_frame);
    write_frame(*_frame, pts);
}

void VideoWriter::convert(const uint8_t* pixels, int stride, AVFrame& frame)
{
    if (!frame.buf[0] || frame.format != _encoder->pix_fmt || frame.width != _encoder->width ||
        frame.height != _encoder->height) {
        av_frame_unref(&frame);
        frame.format = _encoder->pix_fmt;
        frame.width = _encoder->width;
        frame.height = _encoder->height;
        if (av_frame_get_buffer(&frame, 0) < 0)
            throw std::bad_alloc();
    } else if (av_frame_make_writable(&frame) < 0) {
        throw std::bad_alloc();
    }
    if (_yuv420) {
        _yuv420->from_rgba(pixels, stride, frame);
        return;
    }
    const uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    const int strides[4] = {stride, 0, 0, 0};
    sws_scale(_converter.get(), planes, strides, 0, _picture_height, frame.data, frame.linesize);
}

void VideoWriter::write_frame(AVFrame& frame, int64_t pts)
{
    pts -= av_rescale_q(_start_time, AV_TIME_BASE_Q, _time_base);
    ++_frames_in;
    frame.interlaced_frame = _encoder->field_order != AV_FIELD_PROGRESSIVE;
    frame.top_field_first = _encoder->field_order == AV_FIELD_TT || _encoder->field_order == AV_FIELD_TB;
    if (_kind == OutputKind::Y4m) {
        write_at_constant_rate(frame, av_rescale_q(pts, _time_base, _encoder->time_base));
        return;
    }
    frame.pts = pts;
    encode(&frame);
}

void VideoWriter::write_at_constant_rate(AVFrame& frame, int64_t slot)
{
    if (_slots > 0 && slot < _slots) {
        ++_dropped;
        return;
    }
    for (; _held->buf[0] && _slots < slot; ++_repeated) {
        _held->pts = _slots++;
        encode(_held.get());
    }
    frame.pts = _slots++;
    encode(&frame);
    av_frame_unref(_held.get());
    if (av_frame_ref(_held.get(), &frame) < 0)
        throw std::bad_alloc();
}

void VideoWriter::write_copied_packet(AVPacket& packet, int stream_index, AVRational time_base)
{
    auto transcoder = _audio_transcoders.find(stream_index);
    if (transcoder != _audio_transcoders.end()) {
        AVRational encoded_base = transcoder->second->time_base();
        transcoder->second->convert(packet, [&](AVPacket& encoded) { write_packet(encoded, stream_index, encoded_base); });
        return;
    }
    auto converter = _subtitle_converters.find(stream_index);
    if (converter != _subtitle_converters.end()) {
        PacketPtr converted(av_packet_alloc());
        if (!converted)
            throw std::bad_alloc();
        if (converter->second->convert(packet, *converted))
            write_packet(*converted, stream_index, time_base);
        return;
    }
    write_packet(packet, stream_index, time_base);
}

void VideoWriter::write_packet(AVPacket& packet, int stream_index, AVRational time_base)
{
    int64_t shift = av_rescale_q(_start_time, AV_TIME_BASE_Q, time_base);
    if (packet.pts != AV_NOPTS_VALUE)
        packet.pts -= shift;
    if (packet.dts != AV_NOPTS_VALUE)
        packet.dts -= shift;
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
    for (auto& [stream_index, transcoder] : _audio_transcoders) {
        const int index = stream_index;
        AVRational encoded_base = transcoder->time_base();
        transcoder->flush([&](AVPacket& encoded) { write_packet(encoded, index, encoded_base); });
    }
    int result = av_write_trailer(_container);
    if (result < 0)
        fail("cannot complete the file", result);
    result = avio_closep(&_container->pb);
    _started = false;
    if (result < 0)
        fail("cannot close the file", result);
    _finished = true;
}

const char* VideoWriter::format_name() const
{
    switch (_kind) {
    case OutputKind::Y4m:
        return "Y4M";
    case OutputKind::Mkv:
        return "MKV";
    case OutputKind::Webm:
        return "WebM";
    case OutputKind::Mov:
        return "MOV";
    default:
        return "MP4";
    }
}

bool VideoWriter::keeps_alpha() const
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(_encoder->pix_fmt);
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA);
}

std::string VideoWriter::encoder_description() const
{
    const char* format = av_get_pix_fmt_name(_encoder->pix_fmt);
    // Y4M's frames go into the file as they are; FFmpeg's "encoder" for them only hands them over.
    std::string encoder = _kind == OutputKind::Y4m ? "uncompressed" : _encoder->codec->name;
    return encoder + " (" + (format ? format : "?") + ")";
}

} // namespace velmo_upscale
