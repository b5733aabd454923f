// Each row is converted by a few loops over plain arrays, with no branch inside, so that the
// compiler vectorizes them (the file is built with -O3). Chroma is interpolated between the four
// nearest samples at their siting going in, and filtered over the pixels around each sample going
// out; every sum is exact in 32-bit integers and rounded once.
#include "Yuv420Rgba.h"

extern "C" {
#include <libavutil/csp.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace velmo_upscale {

namespace {

// On x86-64 each row loop is also built for AVX2 and taken where the processor has it: 2.5 times
// as fast as the baseline's SSE2. aarch64's baseline already has NEON. ThreadSanitizer would
// instrument the clones' resolvers, which the dynamic loader runs before the sanitizer's runtime
// is up, so its builds keep the baseline loops alone.
#if defined(__SANITIZE_THREAD__)
#define VELMO_THREAD_SANITIZER
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELMO_THREAD_SANITIZER
#endif
#endif
#if defined(__x86_64__) && !defined(VELMO_THREAD_SANITIZER)
#define VELMO_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VELMO_ROW_LOOP
#endif

constexpr int kFraction = 16;
constexpr std::int32_t kHalf = 1 << (kFraction - 1);
// Chroma going in is counted in sixteenths of a code (3:1 between rows, then up to 4:0 across);
// going out its sums over 2 rows and 1-2-1 across are in eighths.
constexpr int kChromaInUnits = 16;
constexpr int kChromaOutShift = kFraction + 3;

std::int32_t fixed(double value) { return static_cast<std::int32_t>(std::lround(value * (1 << kFraction))); }

inline std::int32_t clamp_byte(std::int32_t value) { return std::min(std::max(value, 0), 255); }

// One row of chroma at full width around 128, in sixteenths of a code: the two nearest chroma rows
// blended 3:1 (rows sit midway between luma rows), then interpolated across at the siting. `blend`
// has room for one padding sample on each side.
VELMO_ROW_LOOP
void chroma_row(const std::uint8_t* __restrict near, const std::uint8_t* __restrict far, int chroma_width,
                bool centred, std::int16_t* __restrict blend, std::int16_t* __restrict out)
{
    for (int k = 0; k < chroma_width; ++k)
        blend[k + 1] = static_cast<std::int16_t>(3 * near[k] + far[k]);
    blend[0] = blend[1];
    blend[chroma_width + 1] = blend[chroma_width];
    const std::int16_t* b = blend + 1;
    constexpr int kZero = 128 * kChromaInUnits;
    if (centred) {
        for (int k = 0; k < chroma_width; ++k) {
            out[2 * k] = static_cast<std::int16_t>(3 * b[k] + b[k - 1] - kZero);
            out[2 * k + 1] = static_cast<std::int16_t>(3 * b[k] + b[k + 1] - kZero);
        }
    } else {
        for (int k = 0; k < chroma_width; ++k) {
            out[2 * k] = static_cast<std::int16_t>(4 * b[k] - kZero);
            out[2 * k + 1] = static_cast<std::int16_t>(2 * (b[k] + b[k + 1]) - kZero);
        }
    }
}

struct FromYuv {
    std::int32_t luma_offset, y_scale, v_to_r, u_to_g, v_to_g, u_to_b;
};

VELMO_ROW_LOOP
void rgba_row(const std::uint8_t* __restrict luma, const std::int16_t* __restrict u, const std::int16_t* __restrict v,
              std::uint32_t* __restrict out, int width, FromYuv c)
{
    for (int x = 0; x < width; ++x) {
        const std::int32_t y = (luma[x] - c.luma_offset) * c.y_scale + kHalf;
        const std::int32_t r = clamp_byte((y + v[x] * c.v_to_r) >> kFraction);
        const std::int32_t g = clamp_byte((y - u[x] * c.u_to_g - v[x] * c.v_to_g) >> kFraction);
        const std::int32_t b = clamp_byte((y + u[x] * c.u_to_b) >> kFraction);
        out[x] = static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
                 static_cast<std::uint32_t>(b) << 16 | 0xFF000000u;
    }
}

struct Weights {
    std::int32_t r, g, b, bias;
};

VELMO_ROW_LOOP
void luma_row(const std::uint8_t* __restrict pixels, std::uint8_t* __restrict out, int width, Weights w)
{
    for (int x = 0; x < width; ++x) {
        const std::int32_t r = pixels[4 * x], g = pixels[4 * x + 1], b = pixels[4 * x + 2];
        out[x] = static_cast<std::uint8_t>(clamp_byte((w.r * r + w.g * g + w.b * b + w.bias) >> kFraction));
    }
}

// Each channel of two rows summed, with one padding sample on each side.
VELMO_ROW_LOOP
void column_sums(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom, int width,
                 std::int16_t* __restrict red, std::int16_t* __restrict green, std::int16_t* __restrict blue)
{
    for (int x = 0; x < width; ++x) {
        red[x + 1] = static_cast<std::int16_t>(top[4 * x] + bottom[4 * x]);
        green[x + 1] = static_cast<std::int16_t>(top[4 * x + 1] + bottom[4 * x + 1]);
        blue[x + 1] = static_cast<std::int16_t>(top[4 * x + 2] + bottom[4 * x + 2]);
    }
    for (std::int16_t* sums : {red, green, blue}) {
        sums[0] = sums[1];
        sums[width + 1] = sums[width];
    }
}

// The chroma samples of a row pair, each sited on an even pixel: 1-2-1 across the column sums.
VELMO_ROW_LOOP
void chroma_samples(const std::int16_t* __restrict red, const std::int16_t* __restrict green,
                    const std::int16_t* __restrict blue, std::uint8_t* __restrict out, int chroma_width, Weights w)
{
    for (int k = 0; k < chroma_width; ++k) {
        const std::int32_t r = red[2 * k] + 2 * red[2 * k + 1] + red[2 * k + 2];
        const std::int32_t g = green[2 * k] + 2 * green[2 * k + 1] + green[2 * k + 2];
        const std::int32_t b = blue[2 * k] + 2 * blue[2 * k + 1] + blue[2 * k + 2];
        out[k] = static_cast<std::uint8_t>(clamp_byte((w.r * r + w.g * g + w.b * b + w.bias) >> kChromaOutShift));
    }
}

} // namespace

bool Yuv420Rgba::takes(int pixel_format)
{
    return pixel_format == AV_PIX_FMT_YUV420P || pixel_format == AV_PIX_FMT_YUVJ420P;
}

std::optional<Yuv420Rgba> Yuv420Rgba::for_layout(AVColorSpace matrix, bool full_range, AVChromaLocation siting)
{
    if (siting != AVCHROMA_LOC_UNSPECIFIED && siting != AVCHROMA_LOC_LEFT && siting != AVCHROMA_LOC_CENTER)
        return std::nullopt;
    const AVLumaCoefficients* luma = av_csp_luma_coeffs_from_avcsp(conversion_matrix(matrix));
    if (!luma)
        return std::nullopt;
    const double kr = av_q2d(luma->cr), kb = av_q2d(luma->cb), kg = 1.0 - kr - kb;
    // Limited range spans 219 luma and 224 chroma codes for 255 RGB codes.
    const double luma_span = full_range ? 1.0 : 219.0 / 255.0;
    const double chroma_span = full_range ? 1.0 : 224.0 / 255.0;

    Yuv420Rgba c;
    c._centred = siting == AVCHROMA_LOC_CENTER;
    c._luma_offset = full_range ? 0 : 16;
    const double in_units = chroma_span * kChromaInUnits;
    c._y_scale = fixed(1.0 / luma_span);
    c._v_to_r = fixed(2.0 * (1.0 - kr) / in_units);
    c._u_to_g = fixed(2.0 * (1.0 - kb) * kb / kg / in_units);
    c._v_to_g = fixed(2.0 * (1.0 - kr) * kr / kg / in_units);
    c._u_to_b = fixed(2.0 * (1.0 - kb) / in_units);

    c._r_to_y = fixed(kr * luma_span);
    c._g_to_y = fixed(kg * luma_span);
    c._b_to_y = fixed(kb * luma_span);
    c._r_to_u = fixed(-kr / (2.0 * (1.0 - kb)) * chroma_span);
    c._g_to_u = fixed(-kg / (2.0 * (1.0 - kb)) * chroma_span);
    c._b_to_u = fixed(0.5 * chroma_span);
    c._r_to_v = fixed(0.5 * chroma_span);
    c._g_to_v = fixed(-kg / (2.0 * (1.0 - kr)) * chroma_span);
    c._b_to_v = fixed(-kb / (2.0 * (1.0 - kr)) * chroma_span);
    return c;
}

void Yuv420Rgba::to_rgba(const AVFrame& source, std::uint8_t* rgba, int stride) const
{
    const int width = source.width, height = source.height;
    const int chroma_width = (width + 1) / 2, chroma_height = (height + 1) / 2;
    std::vector<std::int16_t> blend(chroma_width + 2), u(2 * chroma_width), v(2 * chroma_width);
    std::vector<std::uint32_t> row(width);
    const FromYuv coefficients{_luma_offset, _y_scale, _v_to_r, _u_to_g, _v_to_g, _u_to_b};
    for (int y = 0; y < height; ++y) {
        // Chroma row k sits between luma rows 2k and 2k + 1: its other neighbour is the row
        // above for an even luma row and below for an odd one.
        const int near = y / 2;
        const int far = std::min(std::max(y % 2 ? near + 1 : near - 1, 0), chroma_height - 1);
        for (int plane = 1; plane <= 2; ++plane)
            chroma_row(source.data[plane] + static_cast<std::ptrdiff_t>(near) * source.linesize[plane],
                       source.data[plane] + static_cast<std::ptrdiff_t>(far) * source.linesize[plane], chroma_width,
                       _centred, blend.data(), (plane == 1 ? u : v).data());
        rgba_row(source.data[0] + static_cast<std::ptrdiff_t>(y) * source.linesize[0], u.data(), v.data(), row.data(),
                 width, coefficients);
        std::memcpy(rgba + static_cast<std::ptrdiff_t>(y) * stride, row.data(), static_cast<size_t>(width) * 4);
    }
}

void Yuv420Rgba::from_rgba(const std::uint8_t* rgba, int stride, AVFrame& target) const
{
    const int width = target.width, height = target.height;
    const int chroma_width = (width + 1) / 2, chroma_height = (height + 1) / 2;
    std::vector<std::int16_t> red(width + 2), green(width + 2), blue(width + 2);
    const Weights luma{_r_to_y, _g_to_y, _b_to_y, (_luma_offset << kFraction) + kHalf};
    const std::int32_t chroma_bias = (128 << kChromaOutShift) + (1 << (kChromaOutShift - 1));
    const Weights to_u{_r_to_u, _g_to_u, _b_to_u, chroma_bias};
    const Weights to_v{_r_to_v, _g_to_v, _b_to_v, chroma_bias};
    for (int k = 0; k < chroma_height; ++k) {
        const int first = 2 * k, second = std::min(2 * k + 1, height - 1);
        const std::uint8_t* top = rgba + static_cast<std::ptrdiff_t>(first) * stride;
        const std::uint8_t* bottom = rgba + static_cast<std::ptrdiff_t>(second) * stride;
        luma_row(top, target.data[0] + static_cast<std::ptrdiff_t>(first) * target.linesize[0], width, luma);
        if (second != first)
            luma_row(bottom, target.data[0] + static_cast<std::ptrdiff_t>(second) * target.linesize[0], width, luma);
        column_sums(top, bottom, width, red.data(), green.data(), blue.data());
        chroma_samples(red.data(), green.data(), blue.data(),
                       target.data[1] + static_cast<std::ptrdiff_t>(k) * target.linesize[1], chroma_width, to_u);
        chroma_samples(red.data(), green.data(), blue.data(),
                       target.data[2] + static_cast<std::ptrdiff_t>(k) * target.linesize[2], chroma_width, to_v);
    }
}

} // namespace velmo_upscale
