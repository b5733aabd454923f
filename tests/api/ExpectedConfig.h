// The configure.ini a 1280 x 720 stream gets, byte for byte.
#pragma once

namespace velmo_test {

inline constexpr char kConfigFor1280x720[] =
    "log_level : TRACE\n"
    "console_log : true\n"
    "VideoEnhance_SuperResolution_model : M1C4\n"
    "VideoEnhance_SuperResolution_unencmodel : M1C4\n"
    "VideoEnhance_SuperResolution_powermode : mode_high\n"
    "VideoEnhance_SuperResolution_threadnums : 4\n"
    "VideoEnhance_SuperResolution_maxwidth : 1280\n"
    "VideoEnhance_SuperResolution_maxheight : 720\n"
    "VideoEnhance_SuperResolution_saveframe : 0\n"
    "VideoEnhance_SuperResolution_layout : NHWC\n";

} // namespace velmo_test
