// Encoder lookup, pixel format choice and the checks of --codec, --crf and --preset.
#include "EncoderChoice.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

const char* const kX26xPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                    "medium",    "slow",      "slower",   "veryslow", "placebo"};

bool is_x26x(const AVCodec* codec)
{
    std::string name = codec->name;
    return name == "libx264" || name == "libx265";
}

[[noreturn]] void usage_error(const std::string& message)
{
    throw ToolError(kExitUsage, message);
}

bool takes(const AVCodec* codec, AVPixelFormat format)
{
    if (!codec->pix_fmts)
        return true;
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format)
            return true;
    return false;
}

int depth_of(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor ? descriptor->comp[0].depth : 8;
}

// An encoder by its name ("libx265"), or any encoder of a format named like FFmpeg names it ("hevc").
// For AV1, SVT-AV1 comes first: FFmpeg lists libaom first, whose default speed writes well under
// a frame per second even at small sizes.
const AVCodec* find_encoder(const std::string& name)
{
    if (const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str()))
        return codec;
    const AVCodecDescriptor* format = avcodec_descriptor_get_by_name(name.c_str());
    if (!format)
        return nullptr;
    if (format->id == AV_CODEC_ID_AV1)
        if (const AVCodec* svt = avcodec_find_encoder_by_name("libsvtav1"))
            return svt;
    return avcodec_find_encoder(format->id);
}

const AVOption* private_option(const AVCodec* codec, const char* name)
{
    if (!codec->priv_class)
        return nullptr;
    return av_opt_find(const_cast<AVClass**>(&codec->priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
}

std::string number_text(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

// The --crf range an encoder takes: the quantizer scale of the formats the tool names, otherwise
// what the encoder's own option declares.
void crf_range(const AVCodec* codec, const AVOption& option, double& low, double& high)
{
    std::string name = codec->name;
    low = 0;
    high = option.max;
    if (is_x26x(codec))
        high = 51;
    else if (name == "libsvtav1" || name == "libaom-av1")
        high = 63;
}

void check_crf(const AVCodec* codec, const std::string& value)
{
    const AVOption* option = private_option(codec, "crf");
    if (!option)
        usage_error(std::string("the ") + codec->name + " encoder takes no --crf" +
                    (codec->capabilities & AV_CODEC_CAP_LOSSLESS || std::string(codec->name) == "ffv1"
                         ? " (it is lossless)"
                         : ""));
    double number = std::strtod(value.c_str(), nullptr);
    double low = 0, high = 0;
    crf_range(codec, *option, low, high);
    bool whole_only = option->type == AV_OPT_TYPE_INT || option->type == AV_OPT_TYPE_INT64;
    if (number < low || number > high || (whole_only && number != std::floor(number)))
        usage_error(std::string("the ") + codec->name + " encoder takes --crf " + (whole_only ? "whole numbers " : "") +
                    "from " + number_text(low) + " to " + number_text(high) + ", not '" + value + "'");
}

void check_preset(const AVCodec* codec, const std::string& value)
{
    const AVOption* option = private_option(codec, "preset");
    if (!option)
        usage_error(std::string("the ") + codec->name + " encoder takes no --preset");
    if (option->type == AV_OPT_TYPE_INT || option->type == AV_OPT_TYPE_INT64) {
        char* end = nullptr;
        long number = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || number < option->min || number > option->max)
            usage_error(std::string("the ") + codec->name + " encoder takes --preset from " + number_text(option->min) +
                        " (slowest) to " + number_text(option->max) + ", not '" + value + "'");
    } else if (is_x26x(codec) && std::find(std::begin(kX26xPresets), std::end(kX26xPresets), value) ==
                                     std::end(kX26xPresets)) {
        std::string names;
        for (const char* name : kX26xPresets)
            names += std::string(names.empty() ? "" : ", ") + name;
        usage_error(std::string("the ") + codec->name + " encoder takes --preset " + names + ", not '" + value + "'");
    }
}

// Bits per sample the output keeps of an input's: 8, 10 or 12, the depths encoders take.
int kept_depth(int bit_depth)
{
    return bit_depth > 10 ? 12 : bit_depth > 8 ? 10 : 8;
}

// The chroma layout the output keeps of an input's: 4:1:1 and 4:4:0 go to the next layout that
// holds all their chroma, and odd sizes take 4:4:4 because subsampled chroma needs even sides.
ChromaFormat kept_chroma(ChromaFormat input, int width, int height)
{
    if (width % 2 != 0 || height % 2 != 0 || input.shift_x == 0)
        return {0, 0};
    return input.shift_y == 0 ? ChromaFormat{1, 0} : ChromaFormat{1, 1};
}

// The kept layout and depth where the encoder takes them; otherwise the depth first, then as much
// chroma as it takes: an encoder without 4:4:4 at 10 bits keeps the depth and loses chroma.
AVPixelFormat pixel_format_for(const AVCodec* codec, int width, int height, int bit_depth, ChromaFormat chroma)
{
    ChromaFormat kept = kept_chroma(chroma, width, height);
    for (int depth = kept_depth(bit_depth); depth >= 8; depth -= 2) {
        for (ChromaFormat layout : {ChromaFormat{0, 0}, ChromaFormat{1, 0}, ChromaFormat{1, 1}}) {
            bool at_most_kept = layout.shift_x >= kept.shift_x && layout.shift_y >= kept.shift_y;
            bool fits = layout.shift_x == 0 || width % 2 == 0;
            if (at_most_kept && fits && takes(codec, planar_yuv(layout, depth)))
                return planar_yuv(layout, depth);
        }
    }
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, planar_yuv(kept, kept_depth(bit_depth)), 0, nullptr);
}

// The RGB format of the input's depth that the encoder takes, AV_PIX_FMT_NONE when it takes none:
// packed before planar, as FFmpeg's own encoders of RGB prefer.
AVPixelFormat rgb_format_for(const AVCodec* codec, int bit_depth)
{
    std::vector<AVPixelFormat> candidates = {AV_PIX_FMT_BGR0, AV_PIX_FMT_GBRP};
    if (bit_depth > 8)
        candidates = {kept_depth(bit_depth) == 10 ? AV_PIX_FMT_GBRP10 : AV_PIX_FMT_GBRP12, AV_PIX_FMT_GBRP16};
    if (!codec->pix_fmts)
        return AV_PIX_FMT_NONE;
    for (AVPixelFormat format : candidates)
        if (takes(codec, format))
            return format;
    return AV_PIX_FMT_NONE;
}

// The same layout with an alpha plane; AV_PIX_FMT_NONE where FFmpeg has none.
AVPixelFormat with_alpha(AVPixelFormat format)
{
    static const std::pair<AVPixelFormat, AVPixelFormat> kPairs[] = {
        {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVA420P},       {AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUVA422P},
        {AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUVA444P},       {AV_PIX_FMT_YUV420P10, AV_PIX_FMT_YUVA420P10},
        {AV_PIX_FMT_YUV422P10, AV_PIX_FMT_YUVA422P10},   {AV_PIX_FMT_YUV444P10, AV_PIX_FMT_YUVA444P10},
        {AV_PIX_FMT_YUV422P12, AV_PIX_FMT_YUVA422P12},   {AV_PIX_FMT_YUV444P12, AV_PIX_FMT_YUVA444P12},
        {AV_PIX_FMT_BGR0, AV_PIX_FMT_BGRA},              {AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRAP},
        {AV_PIX_FMT_GBRP10, AV_PIX_FMT_GBRAP10},         {AV_PIX_FMT_GBRP12, AV_PIX_FMT_GBRAP12},
        {AV_PIX_FMT_GBRP16, AV_PIX_FMT_GBRAP16},
    };
    for (const auto& [plain, alpha] : kPairs)
        if (plain == format)
            return alpha;
    return AV_PIX_FMT_NONE;
}

// "libx264 cannot write 12-bit 4:4:4 video; written 10-bit 4:2:0", naming only what was lost; an RGB
// input written as 4:4:4 YUV loses nothing a player shows.
std::string reduction(const AVCodec* codec, AVPixelFormat written, int bit_depth, ChromaFormat chroma, bool rgb)
{
    // Measured against the input's own layout: 4:2:0 written at an odd size loses nothing of a
    // 4:2:0 input, although 4:4:4 was asked for there.
    ChromaFormat kept = kept_chroma(chroma, 2, 2);
    const AVPixFmtDescriptor* written_layout = av_pix_fmt_desc_get(written);
    ChromaFormat written_chroma =
        written_layout && (written_layout->flags & AV_PIX_FMT_FLAG_RGB) ? ChromaFormat{0, 0} : chroma_format_of(written);
    int written_depth = depth_of(written);
    std::string lost;
    std::string instead;
    if (bit_depth > 8 && written_depth < std::min(bit_depth, kept_depth(bit_depth))) {
        lost = std::to_string(bit_depth) + "-bit";
        instead = std::to_string(written_depth) + "-bit";
    }
    if (written_chroma.shift_x > kept.shift_x || written_chroma.shift_y > kept.shift_y) {
        lost += (lost.empty() ? "" : " ") + (rgb ? std::string("RGB") : chroma_text(kept));
        instead += (instead.empty() ? "" : " ") + chroma_text(written_chroma);
    }
    if (lost.empty())
        return "";
    return std::string(codec->name) + " cannot write " + lost + " video; written " + instead;
}

} // namespace

EncoderChoice choose_encoder(const EncoderRequest& request, const AVOutputFormat* container, int width, int height,
                             int bit_depth, ChromaFormat chroma, bool rgb, bool alpha)
{
    EncoderChoice choice;
    if (!container) {
        choice.codec = avcodec_find_encoder(AV_CODEC_ID_WRAPPED_AVFRAME);
    } else if (!request.codec.empty()) {
        choice.codec = find_encoder(request.codec);
        if (!choice.codec)
            usage_error("--codec " + request.codec + ": this FFmpeg build has no encoder of that name");
        if (choice.codec->type != AVMEDIA_TYPE_VIDEO)
            usage_error("--codec " + request.codec + ": " + choice.codec->name + " is not a video encoder");
        if (avformat_query_codec(container, choice.codec->id, FF_COMPLIANCE_NORMAL) != 1)
            usage_error("--codec " + request.codec + ": " + avcodec_get_name(choice.codec->id) +
                        " video cannot go into " + (std::string(container->name) == "mp4" ? "MP4" : container->name) +
                        "; write a .mkv file or choose another encoder");
    } else if (std::string(container->name) == "webm") {
        // WebM holds VP8, VP9 and AV1 only: VP9 where libvpx is there, otherwise AV1.
        choice.codec = avcodec_find_encoder_by_name("libvpx-vp9");
        if (!choice.codec)
            choice.codec = find_encoder("av1");
    } else {
        // libx264 where Debian's libavcodec has it, otherwise MPEG-4 Part 2, which every libavcodec
        // build can write and MP4 carries.
        choice.codec = avcodec_find_encoder_by_name("libx264");
        if (!choice.codec)
            choice.codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    }
    if (!choice.codec)
        throw ToolError(kExitOutput, "this FFmpeg build has no suitable video encoder");

    if (!request.crf.empty())
        check_crf(choice.codec, request.crf);
    if (!request.preset.empty())
        check_preset(choice.codec, request.preset);

    choice.pixel_format = rgb && container ? rgb_format_for(choice.codec, bit_depth) : AV_PIX_FMT_NONE;
    if (choice.pixel_format == AV_PIX_FMT_NONE)
        choice.pixel_format = pixel_format_for(choice.codec, width, height, bit_depth, chroma);
    if (choice.pixel_format == AV_PIX_FMT_NONE)
        choice.pixel_format = AV_PIX_FMT_YUV420P;
    AVPixelFormat with_transparency = with_alpha(choice.pixel_format);
    if (alpha && container && with_transparency != AV_PIX_FMT_NONE && takes(choice.codec, with_transparency))
        choice.pixel_format = with_transparency;
    choice.downgrade = reduction(choice.codec, choice.pixel_format, bit_depth, chroma, rgb);

    std::string name = choice.codec->name;
    std::string crf = request.crf;
    std::string preset = request.preset;
    if (name == "libx264") {
        if (crf.empty())
            crf = "18";
        if (preset.empty())
            preset = "medium";
    }
    // libvpx's own default is a bit rate of 256 kb/s whatever the size: constant quality instead,
    // at a speed that keeps the tool usable, rows in parallel.
    if (name == "libvpx-vp9") {
        if (crf.empty())
            crf = "31";
        choice.settings.emplace_back("b", "0");
        choice.settings.emplace_back("cpu-used", "4");
        choice.settings.emplace_back("row-mt", "1");
    }
    // libaom's own default (cpu-used 1) is its slowest usable speed; 6 is about a hundred times
    // faster at a small cost in size, and rows are encoded in parallel.
    if (name == "libaom-av1") {
        choice.settings.emplace_back("cpu-used", "6");
        choice.settings.emplace_back("row-mt", "1");
    }
    if (!crf.empty())
        choice.settings.emplace_back("crf", crf);
    if (!preset.empty())
        choice.settings.emplace_back("preset", preset);
    return choice;
}

} // namespace velmo_upscale
