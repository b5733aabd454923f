// Plane copy, chroma split and merge, NV12/I420 conversion and RGBA to RGB24: known results,
// flips, argument errors and the kernel selection word, under both kernel sets.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "GuardedPlane.h"
#include "velmo/utils/RGBUtil.h"
#include "velmo/utils/cpu_id.h"

using namespace kx_velmo;
using velmo_test::ForcedKernels;
using Bytes = std::vector<unsigned char>;

namespace {

// Bytes start, start + 1, ... (wrapping), so every position is distinguishable.
Bytes ramp(std::size_t size, int start = 1)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(start + static_cast<int>(i));
    return bytes;
}

Bytes row_of(const Bytes& plane, int stride, int y, int width)
{
    return Bytes(plane.begin() + y * stride, plane.begin() + y * stride + width);
}

class PlaneRoutines : public ::testing::TestWithParam<int> {
protected:
    PlaneRoutines()
        : _forced(GetParam())
    {
    }

private:
    ForcedKernels _forced;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Kernels, PlaneRoutines,
                         ::testing::Values(velmo_test::PORTABLE_KERNELS, velmo_test::NEON_KERNELS),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == velmo_test::NEON_KERNELS ? "Neon" : "Portable";
                         });

TEST_P(PlaneRoutines, CopyWithNegativeHeightFlipsRows)
{
    const Bytes src = ramp(4 * 3);
    Bytes dst(4 * 3, 0);
    SR_CopyPlane(src.data(), 4, dst.data(), 4, 4, -3);
    EXPECT_EQ(row_of(dst, 4, 0, 4), row_of(src, 4, 2, 4));
    EXPECT_EQ(row_of(dst, 4, 1, 4), row_of(src, 4, 1, 4));
    EXPECT_EQ(row_of(dst, 4, 2, 4), row_of(src, 4, 0, 4));
}

TEST_P(PlaneRoutines, CopyOntoItselfLeavesThePlaneAlone)
{
    Bytes plane = ramp(40 * 3);
    const Bytes before = plane;
    SR_CopyPlane(plane.data(), 40, plane.data(), 40, 40, 3);
    SR_CopyPlane(plane.data(), 48, plane.data(), 48, 33, 2);
    EXPECT_EQ(plane, before);
}

TEST_P(PlaneRoutines, PlaneRoutinesIgnoreEmptySizes)
{
    const Bytes src = ramp(64);
    Bytes dst(64, 0);
    Bytes dst_v(64, 0);
    SR_CopyPlane(src.data(), 8, dst.data(), 8, 0, 4);
    SR_CopyPlane(src.data(), 8, dst.data(), 8, -5, 4);
    SR_CopyPlane(src.data(), 8, dst.data(), 8, 8, 0);
    SR_SplitUVPlane(src.data(), 16, dst.data(), 8, dst_v.data(), 8, -1, 2);
    SR_SplitUVPlane(src.data(), 16, dst.data(), 8, dst_v.data(), 8, 4, 0);
    SR_MergeUVPlane(src.data(), 8, src.data(), 8, dst.data(), 16, 0, 2);
    SR_MergeUVPlane(src.data(), 8, src.data(), 8, dst.data(), 16, 4, 0);
    EXPECT_EQ(dst, Bytes(64, 0));
    EXPECT_EQ(dst_v, Bytes(64, 0));
}

TEST_P(PlaneRoutines, RGBAToRGB24DropsTheFourthByte)
{
    const Bytes pixel = {10, 20, 30, 40};
    Bytes out(3, 0);
    ASSERT_EQ(SR_RGBAToRGB24(pixel.data(), 4, out.data(), 3, 1, 1), 0);
    EXPECT_EQ(out, (Bytes{10, 20, 30}));
}

TEST_P(PlaneRoutines, NV12ToI420WithOddSizes)
{
    // 5 x 3 luma: 3 x 2 chroma pairs.
    const Bytes y = ramp(5 * 3, 100);
    const Bytes uv = ramp(6 * 2, 1);
    Bytes dst_y(5 * 3, 0);
    Bytes dst_u(3 * 2, 0);
    Bytes dst_v(3 * 2, 0);
    ASSERT_EQ(SR_NV12ToI420(y.data(), 5, uv.data(), 6, dst_y.data(), 5, dst_u.data(), 3, dst_v.data(), 3, 5, 3), 0);
    EXPECT_EQ(dst_y, y);
    EXPECT_EQ(dst_u, (Bytes{1, 3, 5, 7, 9, 11}));
    EXPECT_EQ(dst_v, (Bytes{2, 4, 6, 8, 10, 12}));

    // Without a luma destination only the chroma is written; no luma source is needed then.
    Bytes u_only(3 * 2, 0);
    Bytes v_only(3 * 2, 0);
    ASSERT_EQ(SR_NV12ToI420(nullptr, 5, uv.data(), 6, nullptr, 5, u_only.data(), 3, v_only.data(), 3, 5, -3), 0);
    EXPECT_EQ(u_only, (Bytes{7, 9, 11, 1, 3, 5}));
    EXPECT_EQ(v_only, (Bytes{8, 10, 12, 2, 4, 6}));
}

TEST_P(PlaneRoutines, I420ToNV12WithNegativeHeightFlipsBothPlanes)
{
    // 4 x 4 luma, 2 x 2 chroma: the last chroma rows become the first.
    const Bytes y = ramp(16, 100);
    const Bytes u = {1, 2, 3, 4};
    const Bytes v = {11, 12, 13, 14};
    Bytes dst_y(16, 0);
    Bytes dst_uv(8, 0);
    ASSERT_EQ(SR_I420ToNV12(y.data(), 4, u.data(), 2, v.data(), 2, dst_y.data(), 4, dst_uv.data(), 4, 4, -4), 0);
    EXPECT_EQ(dst_uv, (Bytes{3, 13, 4, 14, 1, 11, 2, 12}));
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(row_of(dst_y, 4, row, 4), row_of(y, 4, 3 - row, 4));

    // Height -2 has a single chroma row.
    Bytes single(4, 0);
    ASSERT_EQ(SR_I420ToNV12(y.data(), 4, u.data(), 2, v.data(), 2, nullptr, 4, single.data(), 4, 4, -2), 0);
    EXPECT_EQ(single, (Bytes{1, 11, 2, 12}));
}

TEST_P(PlaneRoutines, ConvertersRejectBadArgumentsWithoutWriting)
{
    const Bytes src = ramp(256);
    Bytes a(256, 0);
    Bytes b(256, 0);
    Bytes c(256, 0);
    const unsigned char* s = src.data();
    EXPECT_EQ(SR_RGBAToRGB24(nullptr, 16, a.data(), 12, 4, 4), -1);
    EXPECT_EQ(SR_RGBAToRGB24(s, 16, nullptr, 12, 4, 4), -1);
    EXPECT_EQ(SR_RGBAToRGB24(s, 16, a.data(), 12, 0, 4), -1);
    EXPECT_EQ(SR_RGBAToRGB24(s, 16, a.data(), 12, 4, 0), -1);

    EXPECT_EQ(SR_NV12ToI420(s, 8, nullptr, 8, a.data(), 8, b.data(), 4, c.data(), 4, 8, 8), -1);
    EXPECT_EQ(SR_NV12ToI420(s, 8, s, 8, a.data(), 8, nullptr, 4, c.data(), 4, 8, 8), -1);
    EXPECT_EQ(SR_NV12ToI420(s, 8, s, 8, a.data(), 8, b.data(), 4, nullptr, 4, 8, 8), -1);
    EXPECT_EQ(SR_NV12ToI420(s, 8, s, 8, a.data(), 8, b.data(), 4, c.data(), 4, -8, 8), -1);
    EXPECT_EQ(SR_NV12ToI420(s, 8, s, 8, a.data(), 8, b.data(), 4, c.data(), 4, 8, 0), -1);

    EXPECT_EQ(SR_I420ToNV12(nullptr, 8, s, 4, s, 4, a.data(), 8, b.data(), 8, 8, 8), -1);
    EXPECT_EQ(SR_I420ToNV12(s, 8, nullptr, 4, s, 4, a.data(), 8, b.data(), 8, 8, 8), -1);
    EXPECT_EQ(SR_I420ToNV12(s, 8, s, 4, nullptr, 4, a.data(), 8, b.data(), 8, 8, 8), -1);
    EXPECT_EQ(SR_I420ToNV12(s, 8, s, 4, s, 4, a.data(), 8, nullptr, 8, 8, 8), -1);
    EXPECT_EQ(SR_I420ToNV12(s, 8, s, 4, s, 4, a.data(), 8, b.data(), 8, 0, 8), -1);
    EXPECT_EQ(SR_I420ToNV12(s, 8, s, 4, s, 4, a.data(), 8, b.data(), 8, 8, 0), -1);

    EXPECT_EQ(a, Bytes(256, 0));
    EXPECT_EQ(b, Bytes(256, 0));
    EXPECT_EQ(c, Bytes(256, 0));
}

TEST(PlaneRoutineArguments, NullPlanesAreRefusedWithoutWriting)
{
    const Bytes src = ramp(256);
    Bytes a(256, 0);
    Bytes b(256, 0);
    const unsigned char* s = src.data();
    SR_CopyPlane(nullptr, 8, a.data(), 8, 8, 4);
    SR_CopyPlane(s, 8, nullptr, 8, 8, -4);
    SR_SplitUVPlane(nullptr, 16, a.data(), 8, b.data(), 8, 8, 4);
    SR_SplitUVPlane(s, 16, nullptr, 8, b.data(), 8, 8, 4);
    SR_SplitUVPlane(s, 16, a.data(), 8, nullptr, 8, 8, -4);
    SR_MergeUVPlane(nullptr, 8, s, 8, a.data(), 16, 8, 4);
    SR_MergeUVPlane(s, 8, nullptr, 8, a.data(), 16, 8, 4);
    SR_MergeUVPlane(s, 8, s, 8, nullptr, 16, 8, -4);
    // A luma destination needs a luma source; the chroma must not be written either.
    EXPECT_EQ(SR_NV12ToI420(nullptr, 8, s, 8, a.data(), 8, b.data(), 4, b.data() + 64, 4, 8, 8), -1);
    EXPECT_EQ(a, Bytes(256, 0));
    EXPECT_EQ(b, Bytes(256, 0));
}

TEST(PlaneRoutineArguments, HeightIntMinIsRefusedWithoutWriting)
{
    // Every routine flips by negating the height, which INT_MIN does not survive.
    const Bytes src = ramp(256);
    Bytes a(256, 0);
    Bytes b(256, 0);
    Bytes c(256, 0);
    const unsigned char* s = src.data();
    SR_CopyPlane(s, 8, a.data(), 8, 8, INT_MIN);
    SR_SplitUVPlane(s, 16, a.data(), 8, b.data(), 8, 8, INT_MIN);
    SR_MergeUVPlane(s, 8, s, 8, a.data(), 16, 8, INT_MIN);
    EXPECT_EQ(SR_NV12ToI420(s, 8, s, 8, a.data(), 8, b.data(), 4, c.data(), 4, 8, INT_MIN), -1);
    EXPECT_EQ(SR_I420ToNV12(s, 8, s, 4, s, 4, a.data(), 8, b.data(), 8, 8, INT_MIN), -1);
    EXPECT_EQ(SR_RGBAToRGB24(s, 32, a.data(), 24, 8, INT_MIN), -1);
    EXPECT_EQ(a, Bytes(256, 0));
    EXPECT_EQ(b, Bytes(256, 0));
    EXPECT_EQ(c, Bytes(256, 0));
}

TEST(CpuInfo, FirstUseStoresTheFixedFeatureSet)
{
    ForcedKernels fresh(0);
    const Bytes src = ramp(8);
    Bytes dst(8, 0);
    SR_CopyPlane(src.data(), 8, dst.data(), 8, 8, 1);
    EXPECT_EQ(cpu_info_, CPU_INITIALIZED | CPU_HAS_ARM | CPU_HAS_NEON);
    EXPECT_EQ(dst, src);
}

TEST(CpuInfo, AHostValueIsKept)
{
    ForcedKernels portable(CPU_INITIALIZED);
    const Bytes src = ramp(8);
    Bytes dst(8, 0);
    SR_CopyPlane(src.data(), 8, dst.data(), 8, 8, 1);
    EXPECT_EQ(cpu_info_, CPU_INITIALIZED);
    EXPECT_EQ(dst, src);
}
