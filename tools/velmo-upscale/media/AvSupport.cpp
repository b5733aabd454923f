// FFmpeg error texts and colour-matrix lookup.
#include "AvSupport.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/avstring.h>
#include <libavutil/log.h>
}

#include <cstring>
#include <initializer_list>

namespace velmo_upscale {

namespace {
bool g_verbose = false;
}

void set_ffmpeg_verbosity(bool verbose)
{
    g_verbose = verbose;
    av_log_set_level(verbose ? AV_LOG_WARNING : AV_LOG_FATAL);
}

bool ffmpeg_verbose()
{
    return g_verbose;
}

std::string av_error_text(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string stream_kind(AVMediaType type)
{
    if (type == AVMEDIA_TYPE_ATTACHMENT)
        return "attachment";
    const char* name = av_get_media_type_string(type);
    return std::string(name ? name : "data") + " stream";
}

std::string stream_name(const AVStream& stream)
{
    return stream_kind(stream.codecpar->codec_type) + " #" + std::to_string(stream.index);
}

bool is_encoding_tag(const char* key)
{
    // alpha_mode says the old encoding carried transparency, which the new one may not.
    for (const char* exact : {"encoder", "major_brand", "minor_version", "compatible_brands", "vendor_id", "alpha_mode"})
        if (av_strcasecmp(key, exact) == 0)
            return true;
    for (const char* prefix : {"DURATION", "BPS", "NUMBER_OF_FRAMES", "NUMBER_OF_BYTES", "_STATISTICS_"})
        if (av_strncasecmp(key, prefix, std::strlen(prefix)) == 0)
            return true;
    return false;
}

AVColorSpace conversion_matrix(AVColorSpace matrix)
{
    switch (matrix) {
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
        return matrix;
    case AVCOL_SPC_BT2020_CL:
        return AVCOL_SPC_BT2020_NCL;
    default:
        return AVCOL_SPC_BT709;
    }
}

const int* sws_coefficients_for(AVColorSpace matrix)
{
    switch (conversion_matrix(matrix)) {
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return sws_getCoefficients(SWS_CS_ITU601);
    case AVCOL_SPC_FCC:
        return sws_getCoefficients(SWS_CS_FCC);
    case AVCOL_SPC_SMPTE240M:
        return sws_getCoefficients(SWS_CS_SMPTE240M);
    case AVCOL_SPC_BT2020_NCL:
        return sws_getCoefficients(SWS_CS_BT2020);
    default:
        return sws_getCoefficients(SWS_CS_ITU709);
    }
}

} // namespace velmo_upscale
