// One libavfilter graph per comparison: both pictures enter through buffer sources, each metric
// leaves through its own sink with the figures in the frame's metadata.
#include "QualityMetrics.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "FilterGraph.h"

namespace velmo_bench {
namespace {

FramePtr make_frame(const velmo_upscale::RgbaImage& image)
{
    FramePtr frame = alloc_frame();
    frame->format = AV_PIX_FMT_RGBA;
    frame->width = image.width;
    frame->height = image.height;
    check_av(av_frame_get_buffer(frame.get(), 0), "frame buffer");
    for (int y = 0; y < image.height; ++y)
        std::memcpy(frame->data[0] + static_cast<size_t>(y) * frame->linesize[0], image.at(0, y),
                    static_cast<size_t>(image.width) * 4);
    return frame;
}

// The figure `key` from the one frame a metric sink hands out ("inf" for identical pictures).
double sink_figure(FilterGraph& graph, const char* sink, const char* key)
{
    FramePtr frame = graph.receive(sink);
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

    // PSNR over RGB on planar RGB, so no colour conversion enters; luma PSNR and SSIM on the
    // luma plane of the conversion FFmpeg's own tools make.
    std::string size = std::to_string(original.width) + "x" + std::to_string(original.height);
    auto source = [&size](const char* name) {
        return std::string("buffer@") + name + "=video_size=" + size +
               ":pix_fmt=rgba:time_base=1/25:pixel_aspect=1/1";
    };
    FilterGraph graph(source("original") + ",split=3[o1][o2][o3];" + source("test") + ",split=3[t1][t2][t3];" +
                      "[o1]format=gbrp[og];[t1]format=gbrp[tg];[og][tg]psnr,buffersink@rgb;"
                      "[o2]format=yuv444p[oy];[t2]format=yuv444p[ty];[oy][ty]psnr,buffersink@luma;"
                      "[o3]format=yuv444p[os];[t3]format=yuv444p[ts];[os][ts]ssim,buffersink@ssim");

    FramePtr original_frame = make_frame(original);
    FramePtr test_frame = make_frame(test);
    graph.send("buffer@original", original_frame.get());
    graph.send("buffer@test", test_frame.get());
    graph.end("buffer@original");
    graph.end("buffer@test");

    Scores scores;
    scores.psnr_rgb = sink_figure(graph, "buffersink@rgb", "lavfi.psnr.psnr_avg");
    scores.psnr_luma = sink_figure(graph, "buffersink@luma", "lavfi.psnr.psnr.y");
    scores.ssim_luma = sink_figure(graph, "buffersink@ssim", "lavfi.ssim.Y");
    return scores;
}

} // namespace velmo_bench
