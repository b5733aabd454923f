// Both filters treat each plane of a frame alone, so R, G and B travel as the three planes of one
// 4:4:4 frame and come back sharpened alike, without any colour conversion: the same footing as
// libswscale's filters, which the quality benchmark also runs on each channel alone. unsharp
// sharpens what it takes for chroma only when told to, so its chroma settings repeat the luma ones.
#include "PeerSharpening.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "FilterGraph.h"

namespace velmo_bench {

std::string cas_filter(double strength)
{
    char text[64];
    std::snprintf(text, sizeof text, "cas=strength=%.2f", strength);
    return text;
}

std::string unsharp_filter(double amount)
{
    char text[96];
    std::snprintf(text, sizeof text, "unsharp=luma_amount=%.2f:chroma_msize_x=5:chroma_msize_y=5:chroma_amount=%.2f",
                  amount, amount);
    return text;
}

velmo_upscale::RgbaImage sharpen_channels(const velmo_upscale::RgbaImage& image, const std::string& filter)
{
    std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
    FilterGraph graph("buffer@in=video_size=" + size + ":pix_fmt=yuv444p:time_base=1/25:pixel_aspect=1/1," +
                      filter + ",buffersink@out");
    FramePtr frame = alloc_frame();
    frame->format = AV_PIX_FMT_YUV444P;
    frame->width = image.width;
    frame->height = image.height;
    check_av(av_frame_get_buffer(frame.get(), 0), "frame buffer");
    for (int channel = 0; channel < 3; ++channel)
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                frame->data[channel][static_cast<size_t>(y) * frame->linesize[channel] + x] = image.at(x, y)[channel];
    graph.send("buffer@in", frame.get());
    graph.end("buffer@in");

    FramePtr sharpened = graph.receive("buffersink@out");
    if (sharpened->format != AV_PIX_FMT_YUV444P)
        throw std::runtime_error("libavfilter converted the planes for " + filter);
    velmo_upscale::RgbaImage result(image.width, image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint8_t* pixel = result.at(x, y);
            for (int channel = 0; channel < 3; ++channel)
                pixel[channel] = sharpened->data[channel][static_cast<size_t>(y) * sharpened->linesize[channel] + x];
            pixel[3] = 255;
        }
    return result;
}

} // namespace velmo_bench
