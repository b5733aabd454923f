// One libavfilter graph per comparison: both pictures enter through buffer sources, each metric
// leaves through its own sink with the figures in the frame's metadata.
#include "QualityMetrics.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace velmo_bench {
namespace {

void check(int code, const std::string& what)
{
    if (code >= 0)
        return;
    char message[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, message, sizeof message);
    throw std::runtime_error("libavfilter: " + what + ": " + message);
}

struct GraphFree {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

FramePtr make_frame(const velmo_upscale::RgbaImage& image)
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::runtime_error("out of memory for a frame");
    frame->format = AV_PIX_FMT_RGBA;
    frame->width = image.width;
    frame->height = image.height;
    check(av_frame_get_buffer(frame.get(), 0), "frame buffer");
    for (int y = 0; y < image.height; ++y)
        std::memcpy(frame->data[0] + static_cast<size_t>(y) * frame->linesize[0], image.at(0, y),
                    static_cast<size_t>(image.width) * 4);
    return frame;
}

AVFilterContext* filter(AVFilterGraph* graph, const char* name)
{
    AVFilterContext* context = avfilter_graph_get_filter(graph, name);
    if (!context)
        throw std::runtime_error(std::string("libavfilter: no filter ") + name + " in the graph");
    return context;
}

// The figure `key` from the one frame a metric sink hands out ("inf" for identical pictures).
double sink_figure(AVFilterGraph* graph, const char* sink, const char* key)
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::runtime_error("out of memory for a frame");
    check(av_buffersink_get_frame(filter(graph, sink), frame.get()), std::string("reading ") + sink);
    const AVDictionaryEntry* entry = av_dict_get(frame->metadata, key, nullptr, 0);
    if (!entry)
        throw std::runtime_error(std::string("libavfilter reported no ") + key);
    return std::strtod(entry->value, nullptr);
}

} // namespace

Scores score(const velmo_upscale::RgbaImage& original, const velmo_upscale::RgbaImage& test)
{
    if (original.width != test.width || original.height != test.height)
        throw std::runtime_error("pictures of different sizes cannot be compared");
    std::unique_ptr<AVFilterGraph, GraphFree> graph(avfilter_graph_alloc());
    if (!graph)
        throw std::runtime_error("out of memory for a filter graph");
    graph->nb_threads = 1;

    // PSNR over RGB on planar RGB, so no colour conversion enters; luma PSNR and SSIM on the
    // luma plane of the conversion FFmpeg's own tools make.
    std::string size = std::to_string(original.width) + "x" + std::to_string(original.height);
    auto source = [&size](const char* name) {
        return std::string("buffer@") + name + "=video_size=" + size +
               ":pix_fmt=rgba:time_base=1/25:pixel_aspect=1/1";
    };
    std::string description =
        source("original") + ",split=3[o1][o2][o3];" + source("test") + ",split=3[t1][t2][t3];" +
        "[o1]format=gbrp[og];[t1]format=gbrp[tg];[og][tg]psnr,buffersink@rgb;"
        "[o2]format=yuv444p[oy];[t2]format=yuv444p[ty];[oy][ty]psnr,buffersink@luma;"
        "[o3]format=yuv444p[os];[t3]format=yuv444p[ts];[os][ts]ssim,buffersink@ssim";
    AVFilterInOut* inputs = nullptr;
    AVFilterInOut* outputs = nullptr;
    int parsed = avfilter_graph_parse2(graph.get(), description.c_str(), &inputs, &outputs);
    bool open_ends = inputs || outputs;
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    check(parsed, "parsing the metric graph");
    if (open_ends)
        throw std::runtime_error("libavfilter: the metric graph has unconnected pads");
    check(avfilter_graph_config(graph.get(), nullptr), "configuring the metric graph");

    FramePtr original_frame = make_frame(original);
    FramePtr test_frame = make_frame(test);
    AVFilterContext* original_source = filter(graph.get(), "buffer@original");
    AVFilterContext* test_source = filter(graph.get(), "buffer@test");
    check(av_buffersrc_add_frame(original_source, original_frame.get()), "sending the original");
    check(av_buffersrc_add_frame(test_source, test_frame.get()), "sending the test picture");
    check(av_buffersrc_add_frame(original_source, nullptr), "ending the original");
    check(av_buffersrc_add_frame(test_source, nullptr), "ending the test picture");

    Scores scores;
    scores.psnr_rgb = sink_figure(graph.get(), "buffersink@rgb", "lavfi.psnr.psnr_avg");
    scores.psnr_luma = sink_figure(graph.get(), "buffersink@luma", "lavfi.psnr.psnr.y");
    scores.ssim_luma = sink_figure(graph.get(), "buffersink@ssim", "lavfi.ssim.Y");
    return scores;
}

} // namespace velmo_bench
