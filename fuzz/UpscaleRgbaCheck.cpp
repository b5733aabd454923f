// One call of SR_UpscaleRGBA or SR_StretchRGBA decoded from fuzz input (sizes, strides, the band and
// every setting, raw floats and flag bytes included) and run twice: with the portable and with the
// SIMD kernels. Both runs must return the same result and leave the same bytes, draw exactly the
// band's rows with opaque alpha, and touch nothing else; both images are fenced by inaccessible
// pages. Now and then one argument becomes an extreme value the routine must refuse untouched.
#include "Checks.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "FuzzInput.h"
#include "utils/GuardedPlane.h"
#include "velmo/velmo_api.h"
#include "velmo/velmo_cpu.h"

using velmo_test::ForcedKernels;
using velmo_test::GuardedEnd;
using velmo_test::GuardedPlane;

namespace velmo_fuzz {
namespace {

struct Arguments {
    int src_width, src_height, src_padding;
    int dst_width, dst_height, dst_padding;
    int row_begin, row_end;
    bool stretch;
    velmo_init_params params;
};

// Raw bytes for the flags: only bit 0 may count, whatever the others hold.
void set_flag(bool& flag, std::uint8_t byte) { std::memcpy(&flag, &byte, 1); }

Arguments decode(FuzzInput& input)
{
    Arguments a{};
    a.src_width = input.small(1, 48);
    a.src_height = input.small(1, 40);
    a.dst_width = input.small(1, 160);
    a.dst_height = input.small(1, 120);
    a.src_padding = input.small(0, 11);
    a.dst_padding = input.small(0, 11);
    a.row_begin = input.small(0, 255) % a.dst_height;
    a.row_end = a.row_begin + 1 + input.small(0, 255) % (a.dst_height - a.row_begin);
    a.stretch = input.one_in(4);
    a.params.sr_level = input.small(-1, 4);
    a.params.custom_sharpness = input.one_in(2) ? static_cast<float>(input.small(0, 255)) / 32.0f - 2.0f : input.f32();
    set_flag(a.params.enable_edge_adaptive, input.byte());
    set_flag(a.params.enable_fast_sr_smooth, input.byte());
    set_flag(a.params.enable_face_protection, input.byte());
    a.params.sigma_s = input.one_in(2) ? static_cast<float>(input.small(0, 255)) / 64.0f : input.f32();
    a.params.sigma_r = input.one_in(2) ? static_cast<float>(input.small(0, 255)) / 64.0f : input.f32();
    return a;
}

// One integer argument of the call replaced by a value that must be refused.
void make_extreme(Arguments& a, int which, int value)
{
    switch (which) {
    case 0: a.src_width = value; break;
    case 1: a.src_height = value; break;
    case 2: a.dst_width = value; break;
    case 3: a.dst_height = value; break;
    case 4: a.row_begin = value; break;
    default: a.row_end = value; break;
    }
}

struct Run {
    int result;
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;
    bool src_untouched;
    bool dst_guards_intact;
};

Run run(const Arguments& a, int src_rows, int src_row_bytes, int dst_rows, int dst_row_bytes)
{
    std::mt19937 src_rng(11), dst_rng(12);
    GuardedPlane src(src_row_bytes, src_rows, src_row_bytes + a.src_padding, 0, src_rng);
    GuardedPlane dst(dst_row_bytes, dst_rows, dst_row_bytes + a.dst_padding, 0, dst_rng, GuardedEnd::before);
    // Extreme widths are passed with the smallest stride they allow (the call must be refused).
    const auto stride = [](int plane_stride, int width) {
        return width > 0 && width <= INT_MAX / 4 ? std::max(plane_stride, 4 * width) : plane_stride;
    };
    Run out{0, dst.packed(), {}, false, false};
    out.result =
        a.stretch ? kx_velmo::SR_StretchRGBA(src.data(), stride(src.stride(), a.src_width), a.src_width, a.src_height,
                                             dst.data(), stride(dst.stride(), a.dst_width), a.dst_width, a.dst_height,
                                             a.row_begin, a.row_end)
                  : kx_velmo::SR_UpscaleRGBA(src.data(), stride(src.stride(), a.src_width), a.src_width, a.src_height,
                                             dst.data(), stride(dst.stride(), a.dst_width), a.dst_width, a.dst_height,
                                             a.row_begin, a.row_end, &a.params);
    out.after = dst.packed();
    out.src_untouched = src.untouched();
    out.dst_guards_intact = dst.guards_intact();
    return out;
}

} // namespace

std::string check_upscale_rgba(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    Arguments a = decode(input);
    const int src_rows = a.src_height, src_row_bytes = 4 * a.src_width;
    const int dst_rows = a.dst_height, dst_row_bytes = 4 * a.dst_width;
    bool valid = true;
    if (input.one_in(8)) {
        const int values[] = {0, -1, INT_MIN, INT_MAX, 32769, 1 << 29};
        const int which = input.small(0, 5);
        const int value = values[input.pick(6)];
        make_extreme(a, which, value);
        valid = which == 4 && value == 0; // a band from row 0 is still a band
    }
    Run portable;
    {
        const ForcedKernels forced(velmo_test::PORTABLE_KERNELS);
        portable = run(a, src_rows, src_row_bytes, dst_rows, dst_row_bytes);
    }
    const Run simd = run(a, src_rows, src_row_bytes, dst_rows, dst_row_bytes);
    if (simd.result != portable.result)
        return "the SIMD and portable kernels returned different results";
    if (simd.after != portable.after)
        return "the SIMD and portable kernels drew different bytes";
    if (!simd.src_untouched || !portable.src_untouched)
        return "the source was written";
    if (!simd.dst_guards_intact || !portable.dst_guards_intact)
        return "bytes outside the destination rows were written";
    if (simd.result != (valid ? 0 : -1))
        return valid ? "a valid call was refused" : "an impossible call was accepted";
    for (int y = 0; y < dst_rows; ++y) {
        const bool drawn = valid && y >= a.row_begin && y < a.row_end;
        for (int x = 0; x < dst_row_bytes; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * dst_row_bytes + x;
            if (!drawn && simd.after[i] != simd.before[i])
                return "a row outside the band was written";
            if (drawn && x % 4 == 3 && simd.after[i] != 255)
                return "alpha is not opaque";
        }
    }
    return "";
}

} // namespace velmo_fuzz
