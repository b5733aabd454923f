// Plane and image scaling: fixed-point helpers, filter reduction, the 2x bilinear results, flips,
// and unsupported scales that write nothing and fail, under both kernel sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "GuardedPlane.h"
#include "velmo/utils/scaling.h"

using namespace kx_velmo;
using velmo_test::ForcedKernels;
using Bytes = std::vector<unsigned char>;

TEST(FixedDiv, QuotientsIn16Dot16TruncatedTowardZero)
{
    EXPECT_EQ(FixedDiv_C(3, 0), 0);
    EXPECT_EQ(FixedDiv_C(1, 2), 32768);
    EXPECT_EQ(FixedDiv_C(640, 320), 131072);
    EXPECT_EQ(FixedDiv_C(1, 3), 21845);
    EXPECT_EQ(FixedDiv_C(-1, 3), -21845);
    // 40000 × 65536 does not fit 32 bits; the quotient does.
    EXPECT_EQ(FixedDiv_C(40000, 40000), 65536);

    EXPECT_EQ(FixedDiv1_C(5, 1), 0);
    EXPECT_EQ(FixedDiv1_C(2, 4), 21845);
    EXPECT_EQ(FixedDiv1_C(320, 640), 32716);
    EXPECT_EQ(FixedDiv1_C(3, INT_MIN), 0) << "div - 1 must not overflow";
}

TEST(ScaleFilterReduce, PicksTheCheapestEquivalentFilter)
{
    // Box filtering only matters when shrinking by more than 2 in both directions.
    EXPECT_EQ(SR_ScaleFilterReduce(64, 64, 32, 32, FILTER_BOX), FILTER_BILINEAR);
    EXPECT_EQ(SR_ScaleFilterReduce(64, 64, 16, 16, FILTER_BOX), FILTER_BOX);
    EXPECT_EQ(SR_ScaleFilterReduce(64, 64, 16, 40, FILTER_BOX), FILTER_BILINEAR);
    EXPECT_EQ(SR_ScaleFilterReduce(8, 8, 16, 16, FILTER_BILINEAR), FILTER_BILINEAR);
    // Nothing to blend vertically: a single row, an unchanged height, or an exact third.
    EXPECT_EQ(SR_ScaleFilterReduce(8, 1, 16, 2, FILTER_BILINEAR), FILTER_LINEAR);
    EXPECT_EQ(SR_ScaleFilterReduce(8, 6, 16, 6, FILTER_BILINEAR), FILTER_LINEAR);
    EXPECT_EQ(SR_ScaleFilterReduce(8, 9, 16, 3, FILTER_BILINEAR), FILTER_LINEAR);
    // Nothing to blend horizontally either.
    EXPECT_EQ(SR_ScaleFilterReduce(1, 8, 2, 16, FILTER_BILINEAR), FILTER_NONE);
    EXPECT_EQ(SR_ScaleFilterReduce(8, 8, 8, 8, FILTER_BILINEAR), FILTER_NONE);
    EXPECT_EQ(SR_ScaleFilterReduce(9, 8, 3, 16, FILTER_LINEAR), FILTER_NONE);
    EXPECT_EQ(SR_ScaleFilterReduce(8, 8, 16, 16, FILTER_LINEAR), FILTER_LINEAR);
    EXPECT_EQ(SR_ScaleFilterReduce(8, 8, 16, 16, FILTER_NONE), FILTER_NONE);
    // Flipped and mirrored sources count by size.
    EXPECT_EQ(SR_ScaleFilterReduce(-8, -1, 16, 2, FILTER_BILINEAR), FILTER_LINEAR);
    EXPECT_EQ(SR_ScaleFilterReduce(-8, -8, 16, 16, FILTER_BOX), FILTER_BILINEAR);
}

namespace {

struct Slope {
    int x = -7;
    int y = -7;
    int dx = -7;
    int dy = -7;
};

Slope slope(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering)
{
    Slope s;
    SR_ScaleSlope(src_width, src_height, dst_width, dst_height, filtering, &s.x, &s.y, &s.dx, &s.dy);
    return s;
}

} // namespace

TEST(ScaleSlope, StartsAndStepsPerFilter)
{
    Slope s = slope(640, 480, 320, 240, FILTER_BILINEAR);
    EXPECT_EQ(s.dx, 131072);
    EXPECT_EQ(s.x, 32768);
    EXPECT_EQ(s.dy, 131072);
    EXPECT_EQ(s.y, 32768);

    // Upsampling maps the end samples onto each other.
    s = slope(320, 240, 640, 480, FILTER_BILINEAR);
    EXPECT_EQ(s.dx, FixedDiv1_C(320, 640));
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.dy, FixedDiv1_C(240, 480));
    EXPECT_EQ(s.y, 0);

    s = slope(640, 480, 320, 240, FILTER_BOX);
    EXPECT_EQ(s.dx, 131072);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);

    s = slope(640, 480, 320, 240, FILTER_NONE);
    EXPECT_EQ(s.x, 65536);
    EXPECT_EQ(s.y, 65536);

    s = slope(640, 480, 320, 160, FILTER_LINEAR);
    EXPECT_EQ(s.x, 32768);
    EXPECT_EQ(s.dy, 196608);
    EXPECT_EQ(s.y, 98304);
}

TEST(ScaleSlope, MirrorsLimitsAndWritesDegenerateAxes)
{
    // A negative width starts at the last output and steps back.
    Slope s = slope(-640, 480, 320, 240, FILTER_BILINEAR);
    EXPECT_EQ(s.dx, -131072);
    EXPECT_EQ(s.x, 32768 + 319 * 131072);

    // One output sample of a very wide source keeps the step at one source pixel.
    s = slope(40000, 40000, 1, 1, FILTER_BILINEAR);
    EXPECT_EQ(s.dx, 65536);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.dy, 65536);

    // Upsampling a single column or row keeps every output on it; a flipped height has no vertical
    // upsampling step and leaves y and dy as they were.
    s = slope(1, 4, 4, 8, FILTER_BILINEAR);
    EXPECT_EQ(s.dx, 0);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.dy, FixedDiv1_C(4, 8));
    EXPECT_EQ(s.y, 0);
    s = slope(2, 1, 4, 2, FILTER_BILINEAR);
    EXPECT_EQ(s.dy, 0);
    EXPECT_EQ(s.y, 0);
    s = slope(16, -4, 32, 8, FILTER_BILINEAR);
    EXPECT_EQ(s.dx, FixedDiv1_C(16, 32));
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.dy, -7);
    EXPECT_EQ(s.y, -7);

    // Broken preconditions write nothing.
    for (const Slope& broken : {slope(0, 8, 4, 4, FILTER_NONE), slope(8, 0, 4, 4, FILTER_NONE),
                                slope(8, 8, 0, 4, FILTER_NONE), slope(8, 8, 4, -1, FILTER_NONE)}) {
        EXPECT_EQ(broken.dx, -7);
        EXPECT_EQ(broken.x, -7);
    }
    int x = 1;
    SR_ScaleSlope(8, 8, 4, 4, FILTER_NONE, &x, nullptr, &x, &x);
    EXPECT_EQ(x, 1);
}

namespace {

class PlaneScaling : public ::testing::TestWithParam<int> {
protected:
    PlaneScaling()
        : _forced(GetParam())
    {
    }

private:
    ForcedKernels _forced;
};

Bytes scale_plane(const Bytes& src, int src_width, int src_height, int dst_width, int dst_height,
                  FilterMode filtering, unsigned char fill = 0xEE)
{
    Bytes dst(static_cast<std::size_t>(dst_width) * dst_height, fill);
    SR_ScalePlane(src.data(), src_width, src_width, src_height, dst.data(), dst_width, dst_width, dst_height,
                  filtering);
    return dst;
}

Bytes random_bytes(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(rng());
    return bytes;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Kernels, PlaneScaling,
                         ::testing::Values(velmo_test::PORTABLE_KERNELS, velmo_test::NEON_KERNELS),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == velmo_test::NEON_KERNELS ? "Neon" : "Portable";
                         });

TEST_P(PlaneScaling, TwoByTwoToFourByFour)
{
    const Bytes src = {0, 100, 100, 200};
    EXPECT_EQ(scale_plane(src, 2, 2, 4, 4, FILTER_BILINEAR),
              (Bytes{0, 25, 75, 100, 25, 50, 100, 125, 75, 100, 150, 175, 100, 125, 175, 200}));
    // Box filtering is the same 2x upsampling.
    EXPECT_EQ(scale_plane(src, 2, 2, 4, 4, FILTER_BOX), scale_plane(src, 2, 2, 4, 4, FILTER_BILINEAR));
}

TEST_P(PlaneScaling, OddDestinationSizesEndOnASourceColumn)
{
    const Bytes src = {0, 100, 200, 50, 150, 250};
    EXPECT_EQ(scale_plane(src, 3, 2, 5, 3, FILTER_BILINEAR),
              (Bytes{0, 25, 75, 125, 200, 13, 38, 88, 138, 213, 38, 63, 113, 163, 238}));
}

TEST_P(PlaneScaling, OtherScalesAndFiltersWriteNothing)
{
    const Bytes src = random_bytes(8 * 8, 6);
    const Bytes untouched(16 * 16, 0xEE);
    EXPECT_EQ(scale_plane(src, 8, 8, 16, 16, FILTER_NONE), untouched);
    EXPECT_EQ(scale_plane(src, 8, 8, 16, 16, FILTER_LINEAR), untouched);
    EXPECT_EQ(scale_plane(src, 8, 8, 8, 8, FILTER_BILINEAR), Bytes(8 * 8, 0xEE)) << "no copy path";
    EXPECT_EQ(scale_plane(src, 8, 8, 4, 4, FILTER_BOX), Bytes(4 * 4, 0xEE));
    EXPECT_EQ(scale_plane(src, 8, 8, 24, 24, FILTER_BILINEAR), Bytes(24 * 24, 0xEE));
    EXPECT_EQ(scale_plane(src, 8, 8, 16, 8, FILTER_BILINEAR), Bytes(16 * 8, 0xEE));
    // One row high reduces to linear, one column wide to none.
    EXPECT_EQ(scale_plane(src, 8, 1, 16, 2, FILTER_BILINEAR), Bytes(16 * 2, 0xEE));
    EXPECT_EQ(scale_plane(src, 1, 8, 2, 16, FILTER_BILINEAR), Bytes(2 * 16, 0xEE));
}

TEST_P(PlaneScaling, UpsamplingRoutinesIgnoreSizesTheyCannotScale)
{
    const Bytes src = random_bytes(64, 7);
    Bytes dst(256, 0xEE);
    SR_ScalePlaneUp2_Bilinear(8, 8, 0, 16, 8, 16, src.data(), dst.data());
    SR_ScalePlaneUp2_Bilinear(8, 8, 16, 17, 8, 16, src.data(), dst.data());
    SR_ScalePlaneUp2_Bilinear(0, 0, -1, -1, 8, 16, src.data(), dst.data());
    SR_ScaleUVBilinearUp2(4, 8, 9, 16, 8, 16, src.data(), dst.data());
    SR_ScalePlane(src.data(), 8, 0, 0, dst.data(), 16, -1, -1, FILTER_BILINEAR);
    EXPECT_EQ(dst, Bytes(256, 0xEE));
}

namespace {

// An I420 image with planes of their own.
struct I420 {
    int width;
    int height;
    Bytes y;
    Bytes u;
    Bytes v;

    I420(int w, int h, unsigned seed, bool random)
        : width(w)
        , height(h)
        , y(random ? random_bytes(static_cast<std::size_t>(w) * h, seed) : Bytes(static_cast<std::size_t>(w) * h, 0xEE))
        , u(random ? random_bytes(chroma_size(), seed + 1) : Bytes(chroma_size(), 0xEE))
        , v(random ? random_bytes(chroma_size(), seed + 2) : Bytes(chroma_size(), 0xEE))
    {
    }
    int chroma_width() const { return (width + 1) / 2; }
    int chroma_height() const { return (height + 1) / 2; }
    std::size_t chroma_size() const { return static_cast<std::size_t>(chroma_width()) * chroma_height(); }
    bool blank() const
    {
        return y == Bytes(y.size(), 0xEE) && u == Bytes(u.size(), 0xEE) && v == Bytes(v.size(), 0xEE);
    }
};

int i420_scale(const I420& src, I420& dst, FilterMode filtering, int src_height_sign = 1)
{
    return SR_I420Scale(src.y.data(), src.width, src.u.data(), src.chroma_width(), src.v.data(), src.chroma_width(),
                        src.width, src_height_sign * src.height, dst.y.data(), dst.width, dst.u.data(),
                        dst.chroma_width(), dst.v.data(), dst.chroma_width(), dst.width, dst.height, filtering);
}

// Scales the I420 image through SR_NV12Scale and splits the result back into I420 planes.
int nv12_scale(const I420& src, I420& dst, FilterMode filtering)
{
    Bytes src_uv(2 * src.chroma_size());
    for (std::size_t i = 0; i < src.chroma_size(); ++i) {
        src_uv[2 * i] = src.u[i];
        src_uv[2 * i + 1] = src.v[i];
    }
    Bytes dst_uv(2 * dst.chroma_size());
    for (std::size_t i = 0; i < dst.chroma_size(); ++i) {
        dst_uv[2 * i] = dst.u[i];
        dst_uv[2 * i + 1] = dst.v[i];
    }
    const int result = SR_NV12Scale(src.y.data(), src.width, src_uv.data(), 2 * src.chroma_width(), src.width,
                                    src.height, dst.y.data(), dst.width, dst_uv.data(), 2 * dst.chroma_width(),
                                    dst.width, dst.height, filtering);
    for (std::size_t i = 0; i < dst.chroma_size(); ++i) {
        dst.u[i] = dst_uv[2 * i];
        dst.v[i] = dst_uv[2 * i + 1];
    }
    return result;
}

} // namespace

TEST_P(PlaneScaling, ImagesScaleEachPlaneAtItsOwnSize)
{
    struct Sizes {
        int src_width;
        int src_height;
        int dst_width;
        int dst_height;
    };
    // 8 x 6 to 16 x 12, and 7 x 5 to 13 x 9: luma 2x - 1 in both directions, chroma 4 x 3 to 7 x 5.
    for (const Sizes& sizes : {Sizes{8, 6, 16, 12}, Sizes{7, 5, 13, 9}}) {
        const I420 src(sizes.src_width, sizes.src_height, 10, true);
        I420 dst(sizes.dst_width, sizes.dst_height, 0, false);
        ASSERT_EQ(i420_scale(src, dst, FILTER_BILINEAR), 0);
        EXPECT_EQ(dst.y, scale_plane(src.y, src.width, src.height, dst.width, dst.height, FILTER_BILINEAR));
        EXPECT_EQ(dst.u, scale_plane(src.u, src.chroma_width(), src.chroma_height(), dst.chroma_width(),
                                     dst.chroma_height(), FILTER_BILINEAR));
        EXPECT_EQ(dst.v, scale_plane(src.v, src.chroma_width(), src.chroma_height(), dst.chroma_width(),
                                     dst.chroma_height(), FILTER_BILINEAR));

        I420 via_nv12(dst.width, dst.height, 0, false);
        ASSERT_EQ(nv12_scale(src, via_nv12, FILTER_BOX), 0);
        EXPECT_EQ(via_nv12.y, dst.y);
        EXPECT_EQ(via_nv12.u, dst.u);
        EXPECT_EQ(via_nv12.v, dst.v);
    }
}

TEST_P(PlaneScaling, FlippedImageScalesToTheFlippedResult)
{
    const I420 src(8, 6, 11, true);
    I420 flipped_src(8, 6, 0, false);
    for (int y = 0; y < 6; ++y)
        std::copy(src.y.begin() + y * 8, src.y.begin() + (y + 1) * 8, flipped_src.y.begin() + (5 - y) * 8);
    for (int y = 0; y < 3; ++y) {
        std::copy(src.u.begin() + y * 4, src.u.begin() + (y + 1) * 4, flipped_src.u.begin() + (2 - y) * 4);
        std::copy(src.v.begin() + y * 4, src.v.begin() + (y + 1) * 4, flipped_src.v.begin() + (2 - y) * 4);
    }
    I420 from_flip(16, 12, 0, false);
    I420 from_flipped(16, 12, 0, false);
    ASSERT_EQ(i420_scale(src, from_flip, FILTER_BILINEAR, -1), 0);
    ASSERT_EQ(i420_scale(flipped_src, from_flipped, FILTER_BILINEAR), 0);
    EXPECT_EQ(from_flip.y, from_flipped.y);
    EXPECT_EQ(from_flip.u, from_flipped.u);
    EXPECT_EQ(from_flip.v, from_flipped.v);
}

TEST_P(PlaneScaling, UnsupportedImageScalesFailWithoutWriting)
{
    const I420 src(8, 6, 12, true);
    struct Case {
        const char* what;
        int width;
        int height;
        FilterMode filtering;
    };
    const Case cases[] = {
        {"equal sizes", 8, 6, FILTER_BILINEAR},
        {"3x", 24, 18, FILTER_BILINEAR},
        {"half", 4, 3, FILTER_BILINEAR},
        {"2x wide only", 16, 6, FILTER_BILINEAR},
        {"no filter", 16, 12, FILTER_NONE},
        {"linear", 16, 12, FILTER_LINEAR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        I420 dst(c.width, c.height, 0, false);
        EXPECT_EQ(i420_scale(src, dst, c.filtering), -1);
        EXPECT_TRUE(dst.blank());
        EXPECT_EQ(nv12_scale(src, dst, c.filtering), -1);
        EXPECT_TRUE(dst.blank());

        Bytes src_uv(2 * src.chroma_size(), 1);
        Bytes dst_uv(2 * dst.chroma_size(), 0xEE);
        EXPECT_EQ(SR_UVScale(src_uv.data(), 2 * src.chroma_width(), src.chroma_width(), src.chroma_height(),
                             dst_uv.data(), 2 * dst.chroma_width(), dst.chroma_width(), dst.chroma_height(),
                             c.filtering),
                  -1);
        EXPECT_EQ(dst_uv, Bytes(dst_uv.size(), 0xEE));
    }

    // Luma 2 x 2 to 4 x 4 is supported, but its 1 x 1 chroma is not: no plane may be written.
    const I420 tiny(2, 2, 13, true);
    I420 dst(4, 4, 0, false);
    EXPECT_EQ(i420_scale(tiny, dst, FILTER_BILINEAR), -1);
    EXPECT_TRUE(dst.blank());
    EXPECT_EQ(nv12_scale(tiny, dst, FILTER_BILINEAR), -1);
    EXPECT_TRUE(dst.blank());
}

TEST_P(PlaneScaling, ImageRoutinesRejectBadArguments)
{
    const Bytes big(16, 1);
    Bytes out(64, 0xEE);
    const unsigned char* s = big.data();
    unsigned char* d = out.data();
    // Source sides up to 32768 are accepted; validation fails before any size is used for memory.
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 32769, 2, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 32769, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(nullptr, 4, s, 2, s, 2, 4, 2, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, nullptr, 2, s, 2, 4, 2, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, nullptr, 2, 4, 2, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 2, nullptr, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 2, d, 8, nullptr, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 2, d, 8, d, 4, nullptr, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 0, 2, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 0, d, 8, d, 4, d, 4, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 2, d, 8, d, 4, d, 4, 0, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_I420Scale(s, 4, s, 2, s, 2, 4, 2, d, 8, d, 4, d, 4, 8, -4, FILTER_BILINEAR), -1);

    EXPECT_EQ(SR_NV12Scale(s, 4, s, 4, 32769, 2, d, 8, d, 8, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_NV12Scale(nullptr, 4, s, 4, 4, 2, d, 8, d, 8, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_NV12Scale(s, 4, nullptr, 4, 4, 2, d, 8, d, 8, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_NV12Scale(s, 4, s, 4, 4, 2, nullptr, 8, d, 8, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_NV12Scale(s, 4, s, 4, 4, 2, d, 8, nullptr, 8, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_NV12Scale(s, 4, s, 4, 4, 2, d, 8, d, 8, 8, 0, FILTER_BILINEAR), -1);

    EXPECT_EQ(SR_UVScale(s, 8, 32769, 2, d, 16, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_UVScale(nullptr, 8, 4, 2, d, 16, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_UVScale(s, 8, 4, 2, nullptr, 16, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_UVScale(s, 8, -4, 2, d, 16, 8, 4, FILTER_BILINEAR), -1);
    EXPECT_EQ(SR_UVScale(s, 8, 4, 2, d, 16, 8, 0, FILTER_BILINEAR), -1);
    SR_ScalePlane(nullptr, 4, 4, -2, d, 8, 8, 4, FILTER_BILINEAR);
    SR_ScalePlane(s, 4, 4, -2, nullptr, 8, 8, 4, FILTER_BILINEAR);
    EXPECT_EQ(out, Bytes(64, 0xEE));

    // The side limit holds for a flipped height too: 2 x -40000 pairs would give 80000 rows.
    const Bytes tall(4 * 40000, 1);
    Bytes tall_out(8 * 80000, 0xEE);
    EXPECT_EQ(SR_UVScale(tall.data(), 4, 2, -40000, tall_out.data(), 8, 4, 80000, FILTER_BILINEAR), -1);
    EXPECT_EQ(tall_out, Bytes(8 * 80000, 0xEE));
}
