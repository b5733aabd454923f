// FFmpeg error texts and colour-matrix lookup.
#include "AvSupport.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace velmo_upscale {

void set_ffmpeg_verbosity(bool verbose)
{
    av_log_set_level(verbose ? AV_LOG_WARNING : AV_LOG_FATAL);
}

std::string av_error_text(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

const int* sws_coefficients_for(AVColorSpace matrix)
{
    switch (matrix) {
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return sws_getCoefficients(SWS_CS_ITU601);
    case AVCOL_SPC_FCC:
        return sws_getCoefficients(SWS_CS_FCC);
    case AVCOL_SPC_SMPTE240M:
        return sws_getCoefficients(SWS_CS_SMPTE240M);
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return sws_getCoefficients(SWS_CS_BT2020);
    default:
        return sws_getCoefficients(SWS_CS_ITU709);
    }
}

} // namespace velmo_upscale
