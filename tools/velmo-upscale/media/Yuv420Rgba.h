// Conversions between 8-bit 4:2:0 YUV and RGBA, the layout of nearly every video, correctly
// rounded and sited. libswscale's correctly rounded paths (accurate rounding, full chroma) take
// about 10 ms for a 720p frame in and 4.5 ms for a 1080p frame out, a large share of a CPU job;
// these plain integer loops, which the compiler vectorizes, take about 0.5 and 2 ms.
#pragma once

#include <cstdint>
#include <optional>

#include "AvSupport.h"

namespace velmo_upscale {

class Yuv420Rgba {
public:
    // The conversion for one matrix, range and chroma siting (left, as MPEG-2, H.264 and HEVC
    // site it, or centre, as JPEG and MPEG-1 do); nothing for another siting, which libswscale
    // handles instead.
    static std::optional<Yuv420Rgba> for_layout(AVColorSpace matrix, bool full_range, AVChromaLocation siting);
    // Whether frames of this format are 8-bit planar 4:2:0 (yuv420p or yuvj420p).
    static bool takes(int pixel_format);

    // The frame's picture as opaque RGBA, `stride` bytes a row.
    void to_rgba(const AVFrame& source, std::uint8_t* rgba, int stride) const;
    // RGBA (alpha ignored) into the frame's planes, which are allocated at its size.
    void from_rgba(const std::uint8_t* rgba, int stride, AVFrame& target) const;

private:
    Yuv420Rgba() = default;

    bool _centred = false;
    int _luma_offset = 16;
    // Fixed point with 16 fractional bits. From YUV: luma scale, then chroma terms for chroma
    // counted in sixteenths of a code. To YUV: luma and chroma weights of R, G and B.
    std::int32_t _y_scale = 0, _v_to_r = 0, _u_to_g = 0, _v_to_g = 0, _u_to_b = 0;
    std::int32_t _r_to_y = 0, _g_to_y = 0, _b_to_y = 0;
    std::int32_t _r_to_u = 0, _g_to_u = 0, _b_to_u = 0;
    std::int32_t _r_to_v = 0, _g_to_v = 0, _b_to_v = 0;
};

} // namespace velmo_upscale
