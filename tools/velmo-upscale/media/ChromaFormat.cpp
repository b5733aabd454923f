// Chroma layouts of FFmpeg's pixel formats and the planar YUV formats the encoders are given.
#include "ChromaFormat.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace velmo_upscale {

ChromaFormat chroma_format_of(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor || (descriptor->flags & AV_PIX_FMT_FLAG_RGB) || descriptor->nb_components < 3)
        return {};
    return {descriptor->log2_chroma_w, descriptor->log2_chroma_h};
}

std::string chroma_text(ChromaFormat chroma)
{
    if (chroma.shift_x == 0)
        return chroma.shift_y == 0 ? "4:4:4" : "4:4:0";
    if (chroma.shift_x == 1)
        return chroma.shift_y == 0 ? "4:2:2" : "4:2:0";
    return chroma.shift_y == 0 ? "4:1:1" : "4:1:0";
}

AVPixelFormat planar_yuv(ChromaFormat chroma, int depth)
{
    static const AVPixelFormat kFormats[3][3] = {
        {AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV444P10, AV_PIX_FMT_YUV444P12},
        {AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV422P10, AV_PIX_FMT_YUV422P12},
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P10, AV_PIX_FMT_YUV420P12},
    };
    int layout = chroma.shift_x > 1 || chroma.shift_y > chroma.shift_x ? -1 : chroma.shift_x + chroma.shift_y;
    int column = depth == 8 ? 0 : depth == 10 ? 1 : depth == 12 ? 2 : -1;
    return layout < 0 || column < 0 ? AV_PIX_FMT_NONE : kFormats[layout][column];
}

} // namespace velmo_upscale
