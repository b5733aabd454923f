// The CPU upscaling pass and stretch: SIMD and portable kernels give the same bytes, bands join to
// the whole frame, and refused calls write nothing. What the picture looks like is held against
// velmo_process on Mesa in the GL suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "GuardedPlane.h"
#include "velmo/velmo_api.h"
#include "velmo/velmo_cpu.h"

using namespace kx_velmo;
using velmo_test::ForcedKernels;
using Bytes = std::vector<std::uint8_t>;

namespace {

int uniform(std::mt19937& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

// Noise over smooth patches, a part of them skin tones: every branch of the pass is taken
// (flat areas, weak and strong edges, the skin box) at every size.
Bytes test_image(int width, int height, int stride, std::mt19937& rng)
{
    Bytes image(static_cast<std::size_t>(stride) * height, 0xA5);
    const int r0 = uniform(rng, 0, 255), g0 = uniform(rng, 0, 255), b0 = uniform(rng, 0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &image[static_cast<std::size_t>(y) * stride + 4 * x];
            const int patch = ((x / 5) + (y / 4)) % 4;
            if (patch == 0) { // skin tone with a little noise
                p[0] = static_cast<std::uint8_t>(200 + uniform(rng, -8, 8));
                p[1] = static_cast<std::uint8_t>(150 + uniform(rng, -8, 8));
                p[2] = static_cast<std::uint8_t>(120 + uniform(rng, -8, 8));
            } else if (patch == 1) { // flat
                p[0] = static_cast<std::uint8_t>(r0);
                p[1] = static_cast<std::uint8_t>(g0);
                p[2] = static_cast<std::uint8_t>(b0);
            } else {
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<std::uint8_t>(uniform(rng, 0, 255));
            }
            p[3] = static_cast<std::uint8_t>(uniform(rng, 0, 255));
        }
    return image;
}

velmo_init_params random_params(std::mt19937& rng)
{
    // Every field is set here: velmo_default_params is part of the C interface, which builds
    // without the GPU path lack.
    velmo_init_params params{};
    params.sr_level = uniform(rng, 0, 4);
    params.custom_sharpness = static_cast<float>(uniform(rng, -20, 60)) / 10.0f;
    params.enable_edge_adaptive = uniform(rng, 0, 3) != 0;
    params.enable_fast_sr_smooth = uniform(rng, 0, 1) != 0;
    params.enable_face_protection = uniform(rng, 0, 1) != 0;
    params.sigma_s = static_cast<float>(uniform(rng, 1, 40)) / 10.0f;
    params.sigma_r = static_cast<float>(uniform(rng, 1, 40)) / 10.0f;
    return params;
}

struct Case {
    int src_width, src_height, dst_width, dst_height;
    int src_stride, dst_stride;
    velmo_init_params params;
    Bytes src;

    std::string describe() const
    {
        std::ostringstream text;
        text << src_width << "x" << src_height << " -> " << dst_width << "x" << dst_height << " level "
             << params.sr_level << " edge " << params.enable_edge_adaptive << " smooth "
             << params.enable_fast_sr_smooth << " face " << params.enable_face_protection;
        return text.str();
    }
};

Case random_case(std::mt19937& rng)
{
    Case c{};
    // One case in four wide enough for rows of several hundred output pixels.
    c.src_width = uniform(rng, 0, 3) == 0 ? uniform(rng, 90, 140) : uniform(rng, 1, 40);
    c.src_height = uniform(rng, 1, 30);
    // Mostly upscaling, as the pass is used, but also kept and reduced sizes.
    c.dst_width = uniform(rng, 1, 3 * c.src_width + 20);
    c.dst_height = uniform(rng, 1, 3 * c.src_height + 12);
    c.src_stride = 4 * c.src_width + uniform(rng, 0, 9); // rows need not be 4-byte aligned
    c.dst_stride = 4 * c.dst_width + uniform(rng, 0, 9);
    c.params = random_params(rng);
    c.src = test_image(c.src_width, c.src_height, c.src_stride, rng);
    return c;
}

// Draws rows [begin, end) into a destination that starts out filled with 0xA5.
Bytes draw(const Case& c, bool upscale, int begin, int end, int expected_result = 0)
{
    Bytes dst(static_cast<std::size_t>(c.dst_stride) * c.dst_height, 0xA5);
    const int result =
        upscale ? SR_UpscaleRGBA(c.src.data(), c.src_stride, c.src_width, c.src_height, dst.data(), c.dst_stride,
                                 c.dst_width, c.dst_height, begin, end, &c.params)
                : SR_StretchRGBA(c.src.data(), c.src_stride, c.src_width, c.src_height, dst.data(), c.dst_stride,
                                 c.dst_width, c.dst_height, begin, end);
    EXPECT_EQ(result, expected_result) << c.describe();
    return dst;
}

} // namespace

// Random sizes (reductions and one-pixel sides included), strides and settings: the SIMD kernels
// give the portable kernels' bytes, alpha is opaque, and row padding and rows outside the band stay
// as they were.
TEST(UpscaleRgbaTest, SimdAndPortableKernelsGiveTheSameBytes)
{
    std::mt19937 rng(32);
    for (int i = 0; i < 60; ++i) {
        const Case c = random_case(rng);
        const int begin = uniform(rng, 0, c.dst_height - 1);
        const int end = uniform(rng, begin + 1, c.dst_height);
        for (const bool upscale : {true, false}) {
            Bytes portable;
            {
                const ForcedKernels forced(velmo_test::PORTABLE_KERNELS);
                portable = draw(c, upscale, begin, end);
            }
            const Bytes simd = draw(c, upscale, begin, end);
            ASSERT_EQ(simd, portable) << c.describe() << (upscale ? " upscale" : " stretch");
            for (int y = 0; y < c.dst_height; ++y)
                for (int x = 0; x < c.dst_stride; ++x) {
                    const std::uint8_t byte = simd[static_cast<std::size_t>(y) * c.dst_stride + x];
                    if (y < begin || y >= end || x >= 4 * c.dst_width) {
                        ASSERT_EQ(byte, 0xA5) << c.describe() << " wrote outside the band at " << x << "," << y;
                    } else if (x % 4 == 3) {
                        ASSERT_EQ(byte, 255) << c.describe();
                    }
                }
        }
    }
}

// A caller that splits the frame into bands for its threads gets the frame of one call.
TEST(UpscaleRgbaTest, BandsJoinToTheWholeFrame)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 20; ++i) {
        const Case c = random_case(rng);
        for (const bool upscale : {true, false}) {
            const Bytes whole = draw(c, upscale, 0, c.dst_height);
            Bytes joined(whole.size(), 0xA5);
            for (int begin = 0; begin < c.dst_height;) {
                const int end = std::min(c.dst_height, begin + uniform(rng, 1, 7));
                const Bytes band = draw(c, upscale, begin, end);
                const std::size_t from = static_cast<std::size_t>(begin) * c.dst_stride;
                const std::size_t to = static_cast<std::size_t>(end) * c.dst_stride;
                std::copy(band.begin() + static_cast<std::ptrdiff_t>(from), band.begin() + static_cast<std::ptrdiff_t>(to),
                          joined.begin() + static_cast<std::ptrdiff_t>(from));
                begin = end;
            }
            ASSERT_EQ(joined, whole) << c.describe() << (upscale ? " upscale" : " stretch");
        }
    }
}

// A flat frame stays flat whatever the settings: no edge to refine, the blur equals the pixel.
TEST(UpscaleRgbaTest, FlatFrameKeepsItsColour)
{
    std::mt19937 rng(3);
    Case c{};
    c.src_width = 13, c.src_height = 9, c.dst_width = 31, c.dst_height = 20;
    c.src_stride = 4 * c.src_width, c.dst_stride = 4 * c.dst_width;
    c.params = random_params(rng);
    c.params.sr_level = 1;
    c.src.assign(static_cast<std::size_t>(c.src_stride) * c.src_height, 0);
    for (std::size_t i = 0; i < c.src.size(); i += 4) {
        c.src[i] = 201, c.src[i + 1] = 152, c.src[i + 2] = 118, c.src[i + 3] = 9;
    }
    for (const bool upscale : {true, false}) {
        const Bytes out = draw(c, upscale, 0, c.dst_height);
        for (std::size_t i = 0; i < out.size(); i += 4)
            ASSERT_EQ((Bytes{out[i], out[i + 1], out[i + 2], out[i + 3]}), (Bytes{201, 152, 118, 255}));
    }
}

TEST(UpscaleRgbaTest, RefusedCallsWriteNothing)
{
    std::mt19937 rng(5);
    const velmo_init_params params = random_params(rng);
    Bytes src(8 * 4 * 6, 1);
    Bytes dst(12 * 4 * 9, 0xA5);
    const Bytes untouched = dst;
    struct Call {
        const char* what;
        const unsigned char* src;
        int src_stride, src_width, src_height;
        unsigned char* dst;
        int dst_stride, dst_width, dst_height, begin, end;
    };
    const Call calls[] = {
        {"null source", nullptr, 32, 8, 6, dst.data(), 48, 12, 9, 0, 9},
        {"null destination", src.data(), 32, 8, 6, nullptr, 48, 12, 9, 0, 9},
        {"zero width", src.data(), 32, 0, 6, dst.data(), 48, 12, 9, 0, 9},
        {"negative height", src.data(), 32, 8, -6, dst.data(), 48, 12, 9, 0, 9},
        {"zero output height", src.data(), 32, 8, 6, dst.data(), 48, 12, 0, 0, 0},
        {"side over 32768", src.data(), 32, 8, 6, dst.data(), 48, 40000, 1, 0, 1},
        {"source stride short", src.data(), 31, 8, 6, dst.data(), 48, 12, 9, 0, 9},
        {"destination stride short", src.data(), 32, 8, 6, dst.data(), 47, 12, 9, 0, 9},
        {"negative stride", src.data(), -32, 8, 6, dst.data(), 48, 12, 9, 0, 9},
        {"empty band", src.data(), 32, 8, 6, dst.data(), 48, 12, 9, 4, 4},
        {"band reversed", src.data(), 32, 8, 6, dst.data(), 48, 12, 9, 5, 3},
        {"band starts above", src.data(), 32, 8, 6, dst.data(), 48, 12, 9, -1, 3},
        {"band ends below", src.data(), 32, 8, 6, dst.data(), 48, 12, 9, 0, 10},
    };
    for (const Call& call : calls) {
        EXPECT_EQ(SR_UpscaleRGBA(call.src, call.src_stride, call.src_width, call.src_height, call.dst, call.dst_stride,
                                 call.dst_width, call.dst_height, call.begin, call.end, &params),
                  -1)
            << call.what;
        EXPECT_EQ(SR_StretchRGBA(call.src, call.src_stride, call.src_width, call.src_height, call.dst, call.dst_stride,
                                 call.dst_width, call.dst_height, call.begin, call.end),
                  -1)
            << call.what;
    }
    EXPECT_EQ(SR_UpscaleRGBA(src.data(), 32, 8, 6, dst.data(), 48, 12, 9, 0, 9, nullptr), -1) << "null settings";
    EXPECT_EQ(dst, untouched);
}
