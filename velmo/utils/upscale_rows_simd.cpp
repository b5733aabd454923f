// The SIMD row kernels of the CPU upscaling pass and stretch, through Highway: AVX2 on x86-64 (taken
// when the processor has it), NEON on aarch64. The linear filter is exact integer arithmetic; in the
// per-pixel stage each lane runs the portable kernel's float operations in the same order. So the
// bytes are the portable kernels' bytes; a row's last partial vector goes through those kernels.

// Only the targets the library takes are compiled: AVX2 beside the x86-64 baseline, and NEON.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_AVX3 | HWY_AVX3_DL | HWY_SSE4 | HWY_SSSE3 | HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128)
#endif

// Highway's debug checks (on in sanitizer builds) report through libhwy, which the library does not
// link: it uses Highway's headers alone.
#ifndef HWY_IS_DEBUG_BUILD
#define HWY_IS_DEBUG_BUILD 0
#endif

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "velmo/utils/upscale_rows_simd.cpp"
#include "hwy/foreach_target.h" // IWYU pragma: keep
#include "hwy/highway.h"

#include <cstring>

#include "velmo/utils/linear_blend.h"
#include "velmo/utils/upscale_constants.h"
#include "velmo/utils/upscale_rows.h"

HWY_BEFORE_NAMESPACE();
namespace kx_velmo {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;
using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;
using DU = hn::RebindToUnsigned<DF>;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;
using VU = hn::Vec<DU>;

HWY_INLINE VU load_pixels(const std::uint8_t* p) { return hn::LoadU(DU(), reinterpret_cast<const std::uint32_t*>(p)); }

// One pixel from any address (source rows need not be 4-byte aligned).
HWY_INLINE std::uint32_t load_pixel(const std::uint8_t* p)
{
    std::uint32_t pixel;
    std::memcpy(&pixel, p, 4);
    return pixel;
}

template <int kShift>
HWY_INLINE VF channel(VU pixels)
{
    return hn::ConvertTo(DF(), hn::BitCast(DI(), hn::And(hn::ShiftRight<kShift>(pixels), hn::Set(DU(), 0xFFu))));
}

HWY_INLINE VF clamp(VF v, VF low, VF high) { return hn::Min(hn::Max(v, low), high); }

struct TapSums {
    VF luma;
    VF weight;

    HWY_INLINE void add(VF dx, VF dy, VF v, VF contrast, VF dir_x, VF dir_y)
    {
        const DF df;
        const VF t = hn::Add(hn::Mul(dx, dir_y), hn::Mul(dy, dir_x));
        const VF limited = clamp(hn::Mul(hn::Mul(v, v), contrast), hn::Zero(df), hn::Set(df, 1.0f));
        const VF shape = hn::Sub(hn::Mul(hn::Set(df, kKernelShape), limited), hn::Set(df, 1.0f));
        const VF x = hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(hn::Mul(t, t), shape));
        const VF p = hn::Sub(x, hn::Set(df, 4.0f));
        const VF q = hn::Sub(hn::Mul(x, p), p);
        const VF w = hn::Mul(q, hn::Mul(p, p));
        luma = hn::Add(luma, hn::Mul(w, v));
        weight = hn::Add(weight, w);
    }
};

HWY_INLINE VF abs_sum(VF a, VF b, VF c, VF d)
{
    return hn::Add(hn::Add(hn::Add(hn::Abs(a), hn::Abs(b)), hn::Abs(c)), hn::Abs(d));
}

// The luma correction of every lane; gy = G(px, py) and gz = G(px, py - 1) are already read.
HWY_INLINE VF luma_correction(const UpscaleRowArgs& row, VI k, VF fx, VF fy, VF centre_green, VF gy, VF gz)
{
    const DF df;
    const DI di;
    const VI one = hn::Set(di, 1);
    const VI k_left = hn::Sub(k, one);
    const VI k_right = hn::Add(k, one);
    const VI k_far = hn::Add(k_right, one);
    const VF mean =
        hn::Mul(hn::Add(hn::Add(hn::Add(gy, gz), hn::GatherIndex(df, row.green[2], k_right)),
                        hn::GatherIndex(df, row.green[1], k_right)),
                hn::Set(df, 0.25f));
    const auto centred = [&](const float* g, VI index) { return hn::Sub(hn::GatherIndex(df, g, index), mean); };
    const VF ux = centred(row.green[0], k), uy = centred(row.green[0], k_right);
    const VF uz = centred(row.green[3], k_right), uw = centred(row.green[3], k);
    const VF lx = centred(row.green[2], k_left), ly = hn::Sub(gy, mean);
    const VF lz = hn::Sub(gz, mean), lw = centred(row.green[1], k_left);
    const VF rx = centred(row.green[2], k_right), ry = centred(row.green[2], k_far);
    const VF rz = centred(row.green[1], k_far), rw = centred(row.green[1], k_right);
    const VF centre = hn::Sub(centre_green, mean);

    const VF spread = hn::Add(hn::Add(abs_sum(lx, ly, lz, lw), abs_sum(rx, ry, rz, rw)), abs_sum(ux, uy, uz, uw));
    const VF norm = hn::IfThenElseZero(hn::Gt(spread, hn::Zero(df)), hn::Div(hn::Set(df, kContrastNumerator), spread));
    const VF contrast = hn::Mul(norm, norm);

    const VF a = hn::Sub(rx, lz);
    const VF b = hn::Sub(rw, ly);
    const VF dx = hn::Add(a, b);
    const VF dy = hn::Sub(a, b);
    const VF length = hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Set(df, kSmallEpsilon)), hn::Mul(dy, dy)));
    const VF dir_x = hn::Div(dx, length);
    const VF dir_y = hn::Div(dy, length);

    const VF one_f = hn::Set(df, 1.0f), two_f = hn::Set(df, 2.0f);
    const VF fx_m1 = hn::Sub(fx, one_f), fx_m2 = hn::Sub(fx, two_f), fx_p1 = hn::Add(fx, one_f);
    const VF fy_m1 = hn::Sub(fy, one_f), fy_m2 = hn::Sub(fy, two_f), fy_p1 = hn::Add(fy, one_f);
    TapSums sums{hn::Zero(df), hn::Zero(df)};
    sums.add(fx, fy_p1, ux, contrast, dir_x, dir_y);
    sums.add(fx_m1, fy_p1, uy, contrast, dir_x, dir_y);
    sums.add(fx_m1, fy_m2, uz, contrast, dir_x, dir_y);
    sums.add(fx, fy_m2, uw, contrast, dir_x, dir_y);
    sums.add(fx_p1, fy_m1, lx, contrast, dir_x, dir_y);
    sums.add(fx, fy_m1, ly, contrast, dir_x, dir_y);
    sums.add(fx, fy, lz, contrast, dir_x, dir_y);
    sums.add(fx_p1, fy, lw, contrast, dir_x, dir_y);
    sums.add(fx_m1, fy_m1, rx, contrast, dir_x, dir_y);
    sums.add(fx_m2, fy_m1, ry, contrast, dir_x, dir_y);
    sums.add(fx_m2, fy, rz, contrast, dir_x, dir_y);
    sums.add(fx_m1, fy, rw, contrast, dir_x, dir_y);

    const VF low = hn::Min(hn::Min(ly, lz), hn::Min(rx, rw));
    const VF high = hn::Max(hn::Max(ly, lz), hn::Max(rx, rw));
    const VF y = hn::IfThenElseZero(hn::Ne(sums.weight, hn::Zero(df)), hn::Div(sums.luma, sums.weight));
    const VF reconstructed = clamp(hn::Mul(hn::Set(df, kEdgeSharpness), y), low, high);
    return clamp(hn::Sub(reconstructed, centre), hn::Set(df, -kDeltaYClamp), hn::Set(df, kDeltaYClamp));
}

HWY_INLINE hn::Mask<DF> skin_tone(VF r, VF g, VF b)
{
    const DF df;
    const VF offset = hn::Set(df, kChromaOffset);
    const VF cr = hn::Add(hn::Sub(hn::Sub(hn::Mul(hn::Set(df, 0.5f), r), hn::Mul(hn::Set(df, 0.4187f), g)),
                                  hn::Mul(hn::Set(df, 0.0813f), b)),
                          offset);
    const VF cb = hn::Add(hn::Add(hn::Sub(hn::Mul(hn::Set(df, -0.168f), r), hn::Mul(hn::Set(df, 0.3313f), g)),
                                  hn::Mul(hn::Set(df, 0.5f), b)),
                          offset);
    return hn::And(hn::And(hn::Ge(cr, hn::Set(df, kCrLow)), hn::Le(cr, hn::Set(df, kCrHigh))),
                   hn::And(hn::Ge(cb, hn::Set(df, kCbLow)), hn::Le(cb, hn::Set(df, kCbHigh))));
}

// Sum of the blur's five pixels with red and blue in the 16-bit halves of `red_blue`, green and
// alpha in those of `green_alpha` (at most 5 x 255 each, so the halves do not mix).
struct BlurSums {
    VU red_blue;
    VU green_alpha;

    HWY_INLINE void add(VU pixels)
    {
        const VU mask = hn::Set(DU(), 0x00FF00FFu);
        red_blue = hn::Add(red_blue, hn::And(pixels, mask));
        green_alpha = hn::Add(green_alpha, hn::And(hn::ShiftRight<8>(pixels), mask));
    }
};

HWY_INLINE VF low_half(VU sums) { return hn::ConvertTo(DF(), hn::BitCast(DI(), hn::And(sums, hn::Set(DU(), 0xFFFFu)))); }
HWY_INLINE VF high_half(VU sums) { return hn::ConvertTo(DF(), hn::BitCast(DI(), hn::ShiftRight<16>(sums))); }

HWY_INLINE VU to_byte(VF colour, VF gain, VF blur_sum)
{
    const DF df;
    const VF blur = hn::Mul(blur_sum, hn::Set(df, kBlurWeight));
    const VF sharpened = hn::Add(colour, hn::Mul(gain, hn::Sub(colour, blur)));
    return hn::BitCast(DU(), hn::NearestInt(clamp(sharpened, hn::Zero(df), hn::Set(df, 255.0f))));
}

// blend_pixel of the portable filter, on a vector of pixels with per-lane weights.
HWY_INLINE VU blend_pixels(VU a, VU b, VU w)
{
    const DU du;
    const VU even = hn::Set(du, kEvenBytes);
    const VU half = hn::Set(du, kHalfInBoth);
    const VU keep = hn::Sub(hn::Set(du, 256u), w);
    const VU low = hn::Add(hn::Add(hn::Mul(hn::And(a, even), keep), hn::Mul(hn::And(b, even), w)), half);
    const VU high = hn::Add(hn::Add(hn::Mul(hn::And(hn::ShiftRight<8>(a), even), keep),
                                    hn::Mul(hn::And(hn::ShiftRight<8>(b), even), w)),
                            half);
    return hn::Or(hn::And(hn::ShiftRight<8>(low), even), hn::And(high, hn::Set(du, kOddBytes)));
}

void FilterColumnsRow(const std::uint8_t* src_row, const ResampleAxis& columns, std::uint8_t* out)
{
    const DU du;
    const DI di;
    const auto* src = reinterpret_cast<const std::uint32_t*>(src_row);
    const int count = static_cast<int>(columns.tap_first.size());
    const int lanes = static_cast<int>(hn::Lanes(du));
    int k = 0;
    for (; k + lanes <= count; k += lanes) {
        const VU a = hn::GatherIndex(du, src, hn::LoadU(di, columns.tap_first.data() + k));
        const VU b = hn::GatherIndex(du, src, hn::LoadU(di, columns.tap_second.data() + k));
        const VU w = hn::BitCast(du, hn::LoadU(di, columns.tap_weight.data() + k));
        hn::StoreU(blend_pixels(a, b, w), du, reinterpret_cast<std::uint32_t*>(out + 4 * k));
    }
    for (; k < count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const VU a = hn::Set(du, load_pixel(src_row + 4 * columns.tap_first[i]));
        const VU b = hn::Set(du, load_pixel(src_row + 4 * columns.tap_second[i]));
        const VU w = hn::Set(du, static_cast<std::uint32_t>(columns.tap_weight[i]));
        const std::uint32_t blended = hn::GetLane(blend_pixels(a, b, w));
        std::memcpy(out + 4 * k, &blended, 4);
    }
}

void FilterRowsRow(const std::uint8_t* first, const std::uint8_t* second, int weight, std::uint8_t* out, int pixels)
{
    const DU du;
    const int lanes = static_cast<int>(hn::Lanes(du));
    const VU w = hn::Set(du, static_cast<std::uint32_t>(weight));
    int i = 0;
    for (; i + lanes <= pixels; i += lanes)
        hn::StoreU(blend_pixels(load_pixels(first + 4 * i), load_pixels(second + 4 * i), w), du,
                   reinterpret_cast<std::uint32_t*>(out + 4 * i));
    SR_FilterRowsRow_C(first + 4 * i, second + 4 * i, weight, out + 4 * i, pixels - i);
}

void UpscaleRow(const UpscaleRowArgs& row, const UpscaleShape& shape, int x_begin, int x_end)
{
    const DF df;
    const DI di;
    const DU du;
    const int lanes = static_cast<int>(hn::Lanes(df));
    const VF fy = hn::Set(df, row.frac_y);
    int x = x_begin;
    for (; x + lanes <= x_end; x += lanes) {
        const VU centre = load_pixels(row.centre + 4 * x);
        const VI k = hn::Add(hn::LoadU(di, row.grid_x + x), hn::Set(di, 2));
        const VF gy = hn::GatherIndex(df, row.green[2], k);
        const VF gz = hn::GatherIndex(df, row.green[1], k);
        VF r = channel<0>(centre), g = channel<8>(centre), b = channel<16>(centre);
        const VF vote = hn::Add(hn::Add(hn::Abs(hn::Sub(gz, gy)), hn::Abs(hn::Sub(g, gy))), hn::Abs(hn::Sub(g, gz)));

        const auto refine = hn::Gt(vote, hn::Set(df, static_cast<float>(kRefineVote)));
        if (!hn::AllFalse(df, refine)) {
            const VF delta = luma_correction(row, k, hn::LoadU(df, row.frac_x + x), fy, g, gy, gz);
            const VF zero = hn::Zero(df), top = hn::Set(df, 255.0f);
            r = hn::IfThenElse(refine, clamp(hn::Add(r, delta), zero, top), r);
            g = hn::IfThenElse(refine, clamp(hn::Add(g, delta), zero, top), g);
            b = hn::IfThenElse(refine, clamp(hn::Add(b, delta), zero, top), b);
        }

        VF weight = hn::Set(df, 1.0f);
        if (shape.edge_adaptive) {
            weight = hn::IfThenElse(hn::Gt(vote, hn::Set(df, static_cast<float>(kStrongEdgeVote))),
                                    hn::Set(df, shape.strong_edge_weight), weight);
            if (shape.face_protection)
                weight = hn::IfThenZeroElse(skin_tone(r, g, b), weight);
        }
        const VF gain = hn::Mul(hn::Set(df, shape.sharpness), weight);

        BlurSums blur{hn::Zero(du), hn::Zero(du)};
        blur.add(load_pixels(row.centre + 4 * x - 4));
        blur.add(centre);
        blur.add(load_pixels(row.centre + 4 * x + 4));
        blur.add(load_pixels(row.above + 4 * x));
        blur.add(load_pixels(row.below + 4 * x));

        const VU out = hn::Or(hn::Or(to_byte(r, gain, low_half(blur.red_blue)),
                                     hn::ShiftLeft<8>(to_byte(g, gain, low_half(blur.green_alpha)))),
                              hn::Or(hn::ShiftLeft<16>(to_byte(b, gain, high_half(blur.red_blue))),
                                     hn::Set(du, 0xFF000000u)));
        hn::StoreU(out, du, reinterpret_cast<std::uint32_t*>(row.dst + 4 * x));
    }
    SR_UpscaleRow_C(row, shape, x, x_end);
}

} // namespace HWY_NAMESPACE
} // namespace kx_velmo
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kx_velmo {

const RowKernels* SR_SimdRowKernels()
{
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX2)
    static const RowKernels avx2 = {N_AVX2::FilterColumnsRow, N_AVX2::FilterRowsRow, N_AVX2::UpscaleRow};
    // Highway's AVX2 target may also use the FMA, BMI and BMI2 instructions that came with AVX2 (the
    // kernels convert no half floats, so F16C, which not every compiler can ask about, is not needed).
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi") &&
        __builtin_cpu_supports("bmi2"))
        return &avx2;
    return nullptr;
#elif HWY_ARCH_ARM_A64 && (HWY_TARGETS & HWY_NEON)
    static const RowKernels neon = {N_NEON::FilterColumnsRow, N_NEON::FilterRowsRow, N_NEON::UpscaleRow};
    return &neon;
#else
    return nullptr;
#endif
}

} // namespace kx_velmo
#endif
