// The bwdif filter graph, set up for the first interlaced picture and again whenever the picture
// size or format changes, and the queue of pictures that keeps them in decoding order.
#include "Deinterlacer.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

#include <new>

#include "ToolError.h"

namespace velmo_upscale {

Deinterlacer::Deinterlacer(DeinterlaceMode mode, AVFieldOrder field_order, AVRational time_base,
                           AVRational output_time_base, const std::string& what)
    : _mode(mode), _field_order(field_order), _time_base(time_base), _output_time_base(output_time_base), _what(what)
{
}

Deinterlacer::~Deinterlacer()
{
    avfilter_graph_free(&_graph);
}

void Deinterlacer::push(AVFrame* frame)
{
    if (!frame) {
        stop();
        return;
    }
    // Containers state the field order for the whole stream; some decoders never mark the frames.
    bool stream_interlaced = _field_order != AV_FIELD_UNKNOWN && _field_order != AV_FIELD_PROGRESSIVE;
    if (!frame->interlaced_frame && stream_interlaced) {
        frame->interlaced_frame = 1;
        frame->top_field_first = _field_order == AV_FIELD_TT || _field_order == AV_FIELD_TB;
    }
    if (frame->interlaced_frame && !_interlaced) {
        _interlaced = true;
        _top_first = frame->top_field_first != 0;
    }
    // Progressive pictures go round the filter until it is needed; from then on bwdif passes them
    // through itself, so that the order stays.
    if (_mode == DeinterlaceMode::Off || (!_graph && !frame->interlaced_frame)) {
        FramePtr picture(av_frame_alloc());
        if (!picture)
            throw std::bad_alloc();
        av_frame_move_ref(picture.get(), frame);
        if (picture->best_effort_timestamp != AV_NOPTS_VALUE)
            picture->best_effort_timestamp =
                av_rescale_q(picture->best_effort_timestamp, _time_base, _output_time_base);
        _ready.push_back(std::move(picture));
        return;
    }
    if (_graph && (frame->width != _graph_width || frame->height != _graph_height || frame->format != _graph_format))
        stop();
    if (!_graph)
        start(*frame);
    frame->pts = frame->best_effort_timestamp;
    int result = av_buffersrc_add_frame(_source, frame);
    av_frame_unref(frame);
    if (result < 0)
        throw ToolError(kExitInput, "cannot deinterlace '" + _what + "': " + av_error_text(result) +
                                        " (--deinterlace off keeps the pictures as they are)");
    collect();
}

bool Deinterlacer::pull(AVFrame* frame)
{
    if (_ready.empty())
        return false;
    av_frame_move_ref(frame, _ready.front().get());
    _ready.pop_front();
    return true;
}

std::string Deinterlacer::summary() const
{
    if (!_interlaced)
        return "";
    return std::string("interlaced, ") + (_top_first ? "top" : "bottom") + " field first: " +
           (_mode == DeinterlaceMode::Off      ? "not deinterlaced (--deinterlace off)"
            : _mode == DeinterlaceMode::Fields ? "deinterlaced with bwdif, one picture per field"
                                               : "deinterlaced with bwdif");
}

void Deinterlacer::start(const AVFrame& frame)
{
    const char* format_name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame.format));
    AVRational aspect = frame.sample_aspect_ratio.num > 0 && frame.sample_aspect_ratio.den > 0
                            ? frame.sample_aspect_ratio
                            : AVRational{1, 1};
    auto ratio = [](AVRational value) { return std::to_string(value.num) + "/" + std::to_string(value.den); };
    std::string source_settings = "video_size=" + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                                  ":pix_fmt=" + std::to_string(frame.format) + ":time_base=" + ratio(_time_base) +
                                  ":pixel_aspect=" + ratio(aspect);
    _graph = avfilter_graph_alloc();
    if (!_graph)
        throw std::bad_alloc();
    AVFilterContext* bwdif = nullptr;
    // One picture per frame or per field; only the pictures marked interlaced are touched.
    const char* bwdif_settings = _mode == DeinterlaceMode::Fields ? "mode=send_field:parity=auto:deint=interlaced"
                                                                  : "mode=send_frame:parity=auto:deint=interlaced";
    int result = avfilter_graph_create_filter(&_source, avfilter_get_by_name("buffer"), "in",
                                              source_settings.c_str(), nullptr, _graph);
    if (result >= 0)
        result = avfilter_graph_create_filter(&bwdif, avfilter_get_by_name("bwdif"), "bwdif", bwdif_settings,
                                              nullptr, _graph);
    if (result >= 0)
        result = avfilter_graph_create_filter(&_sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                              _graph);
    if (result >= 0)
        result = avfilter_link(_source, 0, bwdif, 0);
    if (result >= 0)
        result = avfilter_link(bwdif, 0, _sink, 0);
    if (result >= 0)
        result = avfilter_graph_config(_graph, nullptr);
    if (result < 0) {
        avfilter_graph_free(&_graph);
        throw ToolError(kExitInput, "cannot deinterlace the " + std::string(format_name ? format_name : "?") + " " +
                                        std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                                        " pictures of '" + _what + "' with bwdif: " + av_error_text(result) +
                                        " (--deinterlace off keeps them as they are)");
    }
    _graph_width = frame.width;
    _graph_height = frame.height;
    _graph_format = frame.format;
}

void Deinterlacer::collect()
{
    AVRational sink_time_base = av_buffersink_get_time_base(_sink);
    for (;;) {
        FramePtr picture(av_frame_alloc());
        if (!picture)
            throw std::bad_alloc();
        int result = av_buffersink_get_frame(_sink, picture.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        if (result < 0)
            throw ToolError(kExitInput, "cannot deinterlace '" + _what + "': " + av_error_text(result));
        // bwdif counts in half the input's time base, so that it can place a picture per field.
        if (picture->pts != AV_NOPTS_VALUE)
            picture->pts = av_rescale_q(picture->pts, sink_time_base, _output_time_base);
        picture->best_effort_timestamp = picture->pts;
        picture->interlaced_frame = 0;
        _ready.push_back(std::move(picture));
    }
}

void Deinterlacer::stop()
{
    if (!_graph)
        return;
    int result = av_buffersrc_add_frame(_source, nullptr);
    if (result < 0)
        throw ToolError(kExitInput, "cannot deinterlace '" + _what + "': " + av_error_text(result));
    collect();
    avfilter_graph_free(&_graph);
    _source = nullptr;
    _sink = nullptr;
}

} // namespace velmo_upscale
