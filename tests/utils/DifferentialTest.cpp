// For every width 0..300 with random strides, lead offsets, stride signs and heights (flips
// included), the NEON and portable kernels give the reference bytes, write nothing outside the
// destination rows and read nothing past the source rows (the source ends at an unreadable page).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "GuardedPlane.h"
#include "Up2Reference.h"
#include "velmo/utils/RGBUtil.h"
#include "velmo/utils/scaling.h"

using namespace kx_velmo;
using velmo_test::ForcedKernels;
using velmo_test::GuardedPlane;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int MAX_WIDTH = 300;
// Three random layouts per width keep the suite quick under qemu while every width meets packed,
// padded, bottom-up and flipped images across the range.
constexpr int CASES_PER_WIDTH = 3;
constexpr int KERNEL_SETS[] = {velmo_test::PORTABLE_KERNELS, velmo_test::NEON_KERNELS};

int uniform(std::mt19937& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

// Layout of one plane: packed (when the whole case is, so the routines may coalesce rows), or
// padded by up to 40 bytes and stored bottom-up a quarter of the time.
struct Layout {
    int stride;
    int lead;
};

Layout random_layout(int row_bytes, bool packed_case, std::mt19937& rng)
{
    const int lead = uniform(rng, 0, 15);
    if (packed_case)
        return {row_bytes, lead};
    const int stride = row_bytes + uniform(rng, 0, 40);
    return {uniform(rng, 0, 3) == 0 ? -stride : stride, lead};
}

struct PlaneShape {
    int row_bytes;
    int rows;
    Layout layout;
};

PlaneShape random_plane(int row_bytes, int rows, bool packed_case, std::mt19937& rng)
{
    return {row_bytes, rows, random_layout(row_bytes, packed_case, rng)};
}

// Destination planes are rebuilt for each kernel set from the same seed, so both runs start from
// identical bytes.
GuardedPlane make_plane(const PlaneShape& shape, unsigned seed)
{
    std::mt19937 fill(seed);
    return GuardedPlane(shape.row_bytes, shape.rows, shape.layout.stride, shape.layout.lead, fill);
}

Bytes flip_rows(const Bytes& bytes, int row_bytes, int rows, bool flip)
{
    if (!flip)
        return bytes;
    Bytes flipped(bytes.size());
    for (int y = 0; y < rows; ++y) {
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(y) * row_bytes,
                  bytes.begin() + static_cast<std::ptrdiff_t>(y + 1) * row_bytes,
                  flipped.begin() + static_cast<std::ptrdiff_t>(rows - 1 - y) * row_bytes);
    }
    return flipped;
}

std::string first_difference(const Bytes& actual, const Bytes& expected, int row_bytes)
{
    if (actual.size() != expected.size())
        return "sizes differ";
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            std::ostringstream text;
            text << "row " << i / static_cast<std::size_t>(row_bytes) << " byte " << i % static_cast<std::size_t>(row_bytes)
                 << ": " << int(actual[i]) << " instead of " << int(expected[i]);
            return text.str();
        }
    }
    return {};
}

// The plane holds `expected` in its rows and nothing outside them changed.
::testing::AssertionResult holds(const GuardedPlane& plane, const Bytes& expected)
{
    const std::string difference = first_difference(plane.packed(), expected, plane.row_bytes());
    if (!difference.empty())
        return ::testing::AssertionFailure() << difference;
    if (!plane.guards_intact())
        return ::testing::AssertionFailure() << "a byte outside the rows was written";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult untouched(const GuardedPlane& plane)
{
    return plane.untouched() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "plane was written";
}

// Runs `body(width, height, packed_case, rng)` for every width and a few random heights in -5..5,
// stopping at the first failing case.
template <typename Body>
void for_each_case(unsigned seed, Body body)
{
    std::mt19937 rng(seed);
    for (int width = 0; width <= MAX_WIDTH; ++width) {
        for (int k = 0; k < CASES_PER_WIDTH; ++k) {
            const int height = uniform(rng, -5, 5);
            const bool packed_case = uniform(rng, 0, 2) == 0;
            SCOPED_TRACE("width " + std::to_string(width) + ", height " + std::to_string(height) +
                         (packed_case ? ", packed" : ", padded"));
            body(width, height, packed_case, rng);
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

std::string kernels_name(int kernels)
{
    return kernels == velmo_test::NEON_KERNELS ? "NEON kernels" : "portable kernels";
}

} // namespace

TEST(Differential, CopyPlane)
{
    for_each_case(1, [](int width, int height, bool packed_case, std::mt19937& rng) {
        const int rows = std::abs(height);
        const PlaneShape src_shape = random_plane(width, rows, packed_case, rng);
        const PlaneShape dst_shape = random_plane(width, rows, packed_case, rng);
        const unsigned seed = rng();
        const GuardedPlane src = make_plane(src_shape, seed + 1);
        const Bytes expected = flip_rows(src.packed(), width, rows, height < 0);
        for (int kernels : KERNEL_SETS) {
            SCOPED_TRACE(kernels_name(kernels));
            ForcedKernels forced(kernels);
            GuardedPlane dst = make_plane(dst_shape, seed);
            SR_CopyPlane(src.row(0), src.stride(), dst.data(), dst.stride(), width, height);
            EXPECT_TRUE(height == 0 || width == 0 ? untouched(dst) : holds(dst, expected));
        }
    });
}

TEST(Differential, SplitUVPlane)
{
    for_each_case(2, [](int width, int height, bool packed_case, std::mt19937& rng) {
        const int rows = std::abs(height);
        const PlaneShape uv_shape = random_plane(2 * width, rows, packed_case, rng);
        const PlaneShape u_shape = random_plane(width, rows, packed_case, rng);
        const PlaneShape v_shape = random_plane(width, rows, packed_case, rng);
        const unsigned seed = rng();
        const GuardedPlane src_uv = make_plane(uv_shape, seed + 1);
        const Bytes uv = flip_rows(src_uv.packed(), 2 * width, rows, height < 0);
        Bytes expected_u(uv.size() / 2);
        Bytes expected_v(uv.size() / 2);
        for (std::size_t i = 0; i < expected_u.size(); ++i) {
            expected_u[i] = uv[2 * i];
            expected_v[i] = uv[2 * i + 1];
        }
        for (int kernels : KERNEL_SETS) {
            SCOPED_TRACE(kernels_name(kernels));
            ForcedKernels forced(kernels);
            GuardedPlane dst_u = make_plane(u_shape, seed);
            GuardedPlane dst_v = make_plane(v_shape, seed + 2);
            SR_SplitUVPlane(src_uv.row(0), src_uv.stride(), dst_u.data(), dst_u.stride(), dst_v.data(), dst_v.stride(),
                            width, height);
            const bool writes = height != 0 && width != 0;
            EXPECT_TRUE(writes ? holds(dst_u, expected_u) : untouched(dst_u));
            EXPECT_TRUE(writes ? holds(dst_v, expected_v) : untouched(dst_v));
        }
    });
}

TEST(Differential, MergeUVPlane)
{
    for_each_case(3, [](int width, int height, bool packed_case, std::mt19937& rng) {
        const int rows = std::abs(height);
        const PlaneShape u_shape = random_plane(width, rows, packed_case, rng);
        const PlaneShape v_shape = random_plane(width, rows, packed_case, rng);
        const PlaneShape uv_shape = random_plane(2 * width, rows, packed_case, rng);
        const unsigned seed = rng();
        const GuardedPlane src_u = make_plane(u_shape, seed + 1);
        const GuardedPlane src_v = make_plane(v_shape, seed + 2);
        const Bytes u = src_u.packed();
        const Bytes v = src_v.packed();
        Bytes merged(2 * u.size());
        for (std::size_t i = 0; i < u.size(); ++i) {
            merged[2 * i] = u[i];
            merged[2 * i + 1] = v[i];
        }
        const Bytes expected = flip_rows(merged, 2 * width, rows, height < 0);
        for (int kernels : KERNEL_SETS) {
            SCOPED_TRACE(kernels_name(kernels));
            ForcedKernels forced(kernels);
            GuardedPlane dst = make_plane(uv_shape, seed);
            SR_MergeUVPlane(src_u.row(0), src_u.stride(), src_v.row(0), src_v.stride(), dst.data(), dst.stride(), width,
                            height);
            EXPECT_TRUE(height == 0 || width == 0 ? untouched(dst) : holds(dst, expected));
        }
    });
}

TEST(Differential, RGBAToRGB24)
{
    for_each_case(4, [](int width, int height, bool packed_case, std::mt19937& rng) {
        const int rows = std::abs(height);
        const PlaneShape src_shape = random_plane(4 * width, rows, packed_case, rng);
        const PlaneShape dst_shape = random_plane(3 * width, rows, packed_case, rng);
        const unsigned seed = rng();
        const GuardedPlane src = make_plane(src_shape, seed + 1);
        const Bytes rgba = flip_rows(src.packed(), 4 * width, rows, height < 0);
        Bytes expected;
        for (std::size_t i = 0; i < rgba.size(); i += 4)
            expected.insert(expected.end(), rgba.begin() + static_cast<std::ptrdiff_t>(i),
                            rgba.begin() + static_cast<std::ptrdiff_t>(i) + 3);
        const bool valid = width > 0 && height != 0;
        for (int kernels : KERNEL_SETS) {
            SCOPED_TRACE(kernels_name(kernels));
            ForcedKernels forced(kernels);
            GuardedPlane dst = make_plane(dst_shape, seed);
            EXPECT_EQ(SR_RGBAToRGB24(src.row(0), src.stride(), dst.data(), dst.stride(), width, height), valid ? 0 : -1);
            EXPECT_TRUE(valid ? holds(dst, expected) : untouched(dst));
        }
    });
}

TEST(Differential, NV12ToI420)
{
    for_each_case(5, [](int width, int height, bool packed_case, std::mt19937& rng) {
        const int rows = std::abs(height);
        const int halfwidth = (width + 1) / 2;
        const int halfrows = (rows + 1) / 2;
        const bool with_y = uniform(rng, 0, 3) != 0;
        const PlaneShape y_src_shape = random_plane(width, rows, packed_case, rng);
        const PlaneShape uv_shape = random_plane(2 * halfwidth, halfrows, packed_case, rng);
        const PlaneShape y_dst_shape = random_plane(width, rows, packed_case, rng);
        const PlaneShape u_shape = random_plane(halfwidth, halfrows, packed_case, rng);
        const PlaneShape v_shape = random_plane(halfwidth, halfrows, packed_case, rng);
        const unsigned seed = rng();
        const GuardedPlane src_y = make_plane(y_src_shape, seed + 1);
        const GuardedPlane src_uv = make_plane(uv_shape, seed + 2);
        const Bytes expected_y = flip_rows(src_y.packed(), width, rows, height < 0);
        const Bytes uv = flip_rows(src_uv.packed(), 2 * halfwidth, halfrows, height < 0);
        Bytes expected_u(uv.size() / 2);
        Bytes expected_v(uv.size() / 2);
        for (std::size_t i = 0; i < expected_u.size(); ++i) {
            expected_u[i] = uv[2 * i];
            expected_v[i] = uv[2 * i + 1];
        }
        const bool valid = width > 0 && height != 0;
        for (int kernels : KERNEL_SETS) {
            SCOPED_TRACE(kernels_name(kernels));
            ForcedKernels forced(kernels);
            GuardedPlane dst_y = make_plane(y_dst_shape, seed);
            GuardedPlane dst_u = make_plane(u_shape, seed + 3);
            GuardedPlane dst_v = make_plane(v_shape, seed + 4);
            EXPECT_EQ(SR_NV12ToI420(src_y.row(0), src_y.stride(), src_uv.row(0), src_uv.stride(),
                                    with_y ? dst_y.data() : nullptr, dst_y.stride(), dst_u.data(), dst_u.stride(),
                                    dst_v.data(), dst_v.stride(), width, height),
                      valid ? 0 : -1);
            EXPECT_TRUE(valid && with_y ? holds(dst_y, expected_y) : untouched(dst_y));
            EXPECT_TRUE(valid ? holds(dst_u, expected_u) : untouched(dst_u));
            EXPECT_TRUE(valid ? holds(dst_v, expected_v) : untouched(dst_v));
        }
    });
}

namespace {

// 2x upsampling of a plane (channels 1) or a U,V plane (channels 2) to a destination `width`
// elements wide and 0..7 rows high, from a source stored top-down or flipped. One case in six asks
// for a destination two elements wider than 2x, which is unsupported and must write nothing.
// `reports_result`: the routine returns 0 for a performed scale and -1 for anything else.
template <typename Scale>
void check_up2(int width, int channels, bool packed_case, std::mt19937& rng, bool reports_result, Scale scale)
{
    const int dst_rows = uniform(rng, 0, 7);
    const int src_width = (width + 1) / 2;
    const int src_rows = (dst_rows + 1) / 2;
    const bool flip = uniform(rng, 0, 1) == 1;
    const bool off_ratio = uniform(rng, 0, 5) == 0;
    const int dst_width = off_ratio ? width + 2 : width;
    const FilterMode filter = uniform(rng, 0, 1) ? FILTER_BILINEAR : FILTER_BOX;
    SCOPED_TRACE("destination " + std::to_string(dst_width) + " x " + std::to_string(dst_rows) +
                 (flip ? ", flipped source" : "") + (filter == FILTER_BOX ? ", box" : ", bilinear"));

    const PlaneShape src_shape = random_plane(channels * src_width, src_rows, packed_case, rng);
    const PlaneShape dst_shape = random_plane(channels * dst_width, dst_rows, packed_case, rng);
    const unsigned seed = rng();
    const GuardedPlane src = make_plane(src_shape, seed + 1);
    const Bytes source = flip_rows(src.packed(), channels * src_width, src_rows, flip);
    // One source row or column reduces the filter to linear or none, which is not the 2x case.
    const bool supported = !off_ratio && src_width >= 2 && src_rows >= 2;
    const Bytes expected =
        supported ? velmo_test::reference_up2(source, src_width, dst_width, dst_rows, channels) : Bytes();
    for (int kernels : KERNEL_SETS) {
        SCOPED_TRACE(kernels_name(kernels));
        ForcedKernels forced(kernels);
        GuardedPlane dst = make_plane(dst_shape, seed);
        const int result = scale(src.row(0), src.stride(), src_width, flip ? -src_rows : src_rows, dst.data(),
                                 dst.stride(), dst_width, dst_rows, filter);
        if (reports_result) {
            EXPECT_EQ(result, supported ? 0 : -1);
        }
        EXPECT_TRUE(supported ? holds(dst, expected) : untouched(dst));
    }
}

} // namespace

TEST(Differential, ScalePlaneUp2)
{
    for_each_case(7, [](int width, int, bool packed_case, std::mt19937& rng) {
        check_up2(width, 1, packed_case, rng, false,
                  [](const unsigned char* src, int src_stride, int src_width, int src_height, unsigned char* dst,
                     int dst_stride, int dst_width, int dst_height, FilterMode filter) {
                      SR_ScalePlane(src, src_stride, src_width, src_height, dst, dst_stride, dst_width, dst_height,
                                    filter);
                      return 0;
                  });
    });
}

TEST(Differential, UVScaleUp2)
{
    for_each_case(8, [](int width, int, bool packed_case, std::mt19937& rng) {
        check_up2(width, 2, packed_case, rng, true, SR_UVScale);
    });
}
