// The upscaling pass drawn on Mesa in both variants and held against the CPU reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>

#include "shaders/SceneImages.h"
#include "shaders/UpscalePass.h"
#include "shaders/UpscaleReference.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"

using namespace velmo_test;

namespace {

constexpr int kInputWidth = 48;
constexpr int kInputHeight = 36;

// llvmpipe filters in 8-bit fixed point (modelled by the reference) but runs the arithmetic at mediump
// as 16-bit floats (not modelled), which moves a few results by a step or two.
const ImageTolerance kReferenceTolerance{2, 0.999, 0.5, true};

struct OutputSize {
    const char* name;
    int width;
    int height;
};

const OutputSize kSizes[] = {
    {"2x", 96, 72},
    {"1_5x", 72, 54},
    {"scale1", kInputWidth, kInputHeight},
    {"odd", 67, 49},
};

struct NamedSettings {
    const char* name;
    UpscaleSettings settings;
};

const NamedSettings kSettings[] = {
    {"default", UpscaleSettings{}},
    {"smoothed_face", UpscaleSettings{1, 1, 1, 1.5f}},
    {"plain_usm", UpscaleSettings{0, 1, 1, 0.8f}},
    {"blur", UpscaleSettings{1, 0, 0, -0.5f}},
};

// Largest and mean absolute difference over the colour channels, in 1/255 steps.
std::pair<int, double> difference(const RgbaImage& a, const RgbaImage& b)
{
    int max_error = 0;
    double sum = 0.0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        if (i % 4 == 3)
            continue;
        const int error = std::abs(a.pixels[i] - b.pixels[i]);
        max_error = std::max(max_error, error);
        sum += error;
    }
    return {max_error, sum / (static_cast<double>(a.pixels.size()) * 3 / 4)};
}

void PrintTo(const OutputSize& size, std::ostream* os)
{
    *os << size.width << "x" << size.height;
}

void PrintTo(const NamedSettings& named, std::ostream* os)
{
    *os << named.name;
}

class UpscaleComparison
    : public PlayerGLTest,
      public ::testing::WithParamInterface<std::tuple<UpscaleVariant, OutputSize, NamedSettings>> {};

class UpscaleVariantsAgree : public PlayerGLTest,
                             public ::testing::WithParamInterface<std::tuple<OutputSize, NamedSettings>> {};

} // namespace

namespace velmo_test {

void PrintTo(UpscaleVariant variant, std::ostream* os)
{
    *os << variant_name(variant);
}

} // namespace velmo_test

TEST_P(UpscaleComparison, AgreesWithReference)
{
    const auto [variant, size, named] = GetParam();
    for (const Scene& scene : upscale_scenes(kInputWidth, kInputHeight)) {
        SCOPED_TRACE(scene.name);
        const RgbaImage actual = draw_upscale_pass(variant, scene.image, size.width, size.height, named.settings);
        const UpscaleReference reference(scene.image, size.width, size.height, named.settings);
        const RgbaImage expected = reference.closest_to(actual);
        const std::string name =
            std::string("upscale_") + variant_name(variant) + "_" + size.name + "_" + named.name + "_" + scene.name;
        EXPECT_TRUE(images_match(name, actual, expected, kReferenceTolerance));
        const auto [max_error, mean_error] = difference(actual, expected);
        std::printf("[ agreement ] %-48s max %d mean %.4f ties %.1f%%\n", name.c_str(), max_error, mean_error,
                    100.0 * reference.tie_fraction());
    }
}

TEST_P(UpscaleVariantsAgree, WithinOneStep)
{
    const auto [size, named] = GetParam();
    for (const Scene& scene : upscale_scenes(kInputWidth, kInputHeight)) {
        SCOPED_TRACE(scene.name);
        const RgbaImage main = draw_upscale_pass(UpscaleVariant::kMain, scene.image, size.width, size.height,
                                                 named.settings);
        const RgbaImage fallback = draw_upscale_pass(UpscaleVariant::kFallback, scene.image, size.width, size.height,
                                                     named.settings);
        EXPECT_TRUE(images_match(std::string("variants_") + size.name + "_" + named.name + "_" + scene.name, fallback,
                                 main, ImageTolerance{1, 1.0, 1.0, true}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Upscale, UpscaleComparison,
    ::testing::Combine(::testing::Values(UpscaleVariant::kMain, UpscaleVariant::kFallback),
                       ::testing::ValuesIn(kSizes), ::testing::ValuesIn(kSettings)),
    [](const ::testing::TestParamInfo<UpscaleComparison::ParamType>& info) {
        return std::string(variant_name(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name + "_" +
               std::get<2>(info.param).name;
    });

INSTANTIATE_TEST_SUITE_P(Upscale, UpscaleVariantsAgree,
                         ::testing::Combine(::testing::ValuesIn(kSizes), ::testing::ValuesIn(kSettings)),
                         [](const ::testing::TestParamInfo<UpscaleVariantsAgree::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

namespace {

class UpscalePassGLTest : public PlayerGLTest, public ::testing::WithParamInterface<UpscaleVariant> {};

// 8-bit value of colour channel c of an image pixel.
int at(const RgbaImage& image, int x, int y, int c)
{
    return image.at(x, y)[c];
}

} // namespace

// Pixels whose vote lies just below a threshold must take the lower branch, just above it the upper
// one; a vote exactly on a threshold is left to the driver's mediump rounding. The vote is always an
// even number of 1/255 steps (|K - y| + |K - z| has the parity of y + z), so the nearest votes to a
// threshold t are t - 2 and t + 2.
TEST_P(UpscalePassGLTest, StrictEdgeThresholdsAroundTheBoundary)
{
    const RgbaImage input = low_contrast_noise(kInputWidth, kInputHeight, 96, 108, 5);
    const int width = 2 * kInputWidth, height = 2 * kInputHeight;

    // Refinement threshold, observed without sharpening: the output is K itself or the refined colour.
    UpscaleSettings unsharpened;
    unsharpened.usm_sharpness = 0.0f;
    const RgbaImage plain = draw_upscale_pass(GetParam(), input, width, height, unsharpened);
    const UpscaleReference plain_reference(input, width, height, unsharpened);
    int below = 0, above_and_changed = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const UpscalePixel p = plain_reference.pixel(x, y);
            if (p.ties & (kTieGridX | kTieGridY))
                continue;
            if (p.edge_vote_255 == 2) {
                ++below;
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(at(plain, x, y, c), to_unorm8(p.bilinear[c])) << "vote 2/255 refined at " << x << "," << y;
            }
            if (p.edge_vote_255 == 6 && to_unorm8(p.refined[1]) != to_unorm8(p.bilinear[1])) {
                ++above_and_changed;
                ASSERT_NEAR(at(plain, x, y, 1), to_unorm8(p.refined[1]), 1) << "vote 6/255 not refined at " << x << ","
                                                                            << y;
            }
        }
    EXPECT_GT(below, 20);
    EXPECT_GT(above_and_changed, 20);

    // Sharpening threshold: weight 1.0 at a vote of 14/255, 0.2 at 18/255. Plain sharpening (edge
    // adaptation off) shows what weight 1.0 gives.
    const RgbaImage strong = low_contrast_noise(kInputWidth, kInputHeight, 80, 112, 9);
    UpscaleSettings adaptive;
    adaptive.usm_sharpness = 1.5f;
    UpscaleSettings plain_usm = adaptive;
    plain_usm.enable_edge_adaptive = 0;
    const RgbaImage sharpened = draw_upscale_pass(GetParam(), strong, width, height, adaptive);
    const UpscaleReference adaptive_reference(strong, width, height, adaptive);
    const UpscaleReference plain_usm_reference(strong, width, height, plain_usm);
    int full_weight = 0, lowered = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const UpscalePixel p = adaptive_reference.pixel(x, y);
            if (p.ties & (kTieGridX | kTieGridY))
                continue;
            const int full_weight_green = to_unorm8(plain_usm_reference.pixel(x, y).colour[1]);
            if (p.edge_vote_255 == 14) {
                ++full_weight;
                ASSERT_NEAR(at(sharpened, x, y, 1), full_weight_green, 1) << "vote 14/255 lowered at " << x << "," << y;
            }
            if (p.edge_vote_255 == 18 && std::abs(to_unorm8(p.colour[1]) - full_weight_green) >= 3) {
                ++lowered;
                ASSERT_NEAR(at(sharpened, x, y, 1), to_unorm8(p.colour[1]), 1) << "vote 18/255 kept weight 1 at " << x
                                                                               << "," << y;
            }
        }
    EXPECT_GT(full_weight, 20);
    EXPECT_GT(lowered, 20);
}

TEST_P(UpscalePassGLTest, LumaCorrectionIsBoundedAndEqualOnAllChannels)
{
    const RgbaImage input = random_image(kInputWidth, kInputHeight, 21);
    UpscaleSettings unsharpened;
    unsharpened.usm_sharpness = 0.0f;
    const int width = 2 * kInputWidth, height = 2 * kInputHeight;
    const RgbaImage output = draw_upscale_pass(GetParam(), input, width, height, unsharpened);
    const UpscaleReference reference(input, width, height, unsharpened);
    int at_bound = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const UpscalePixel p = reference.pixel(x, y);
            int delta[3];
            bool clamped = false;
            for (int c = 0; c < 3; ++c) {
                delta[c] = at(output, x, y, c) - to_unorm8(p.bilinear[c]);
                ASSERT_LE(std::abs(delta[c]), 23) << "at " << x << "," << y << " channel " << c;
                clamped = clamped || at(output, x, y, c) == 0 || at(output, x, y, c) == 255;
            }
            if (!clamped) {
                EXPECT_NEAR(delta[0], delta[1], 1) << "at " << x << "," << y;
                EXPECT_NEAR(delta[2], delta[1], 1) << "at " << x << "," << y;
            }
            at_bound += std::abs(delta[1]) == 23;
        }
    EXPECT_GT(at_bound, 50) << "noise this strong must hit the clamp often";
}

TEST_P(UpscalePassGLTest, WritesOpaqueAlpha)
{
    RgbaImage input = random_image(kInputWidth, kInputHeight, 3);
    for (int y = 0; y < kInputHeight; ++y)
        for (int x = 0; x < kInputWidth; ++x)
            input.at(x, y)[3] = static_cast<uint8_t>((x + y) % 2 ? 0 : 77);
    const RgbaImage output = draw_upscale_pass(GetParam(), input, 80, 60, UpscaleSettings{});
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(at(output, x, y, 3), 255) << "at " << x << "," << y;
}

TEST_P(UpscalePassGLTest, SharpnessZeroGivesTheRefinedColour)
{
    const RgbaImage input = upscale_scenes(kInputWidth, kInputHeight)[2].image;
    UpscaleSettings unsharpened;
    unsharpened.usm_sharpness = 0.0f;
    const RgbaImage output = draw_upscale_pass(GetParam(), input, 96, 72, unsharpened);
    const UpscaleReference reference(input, 96, 72, unsharpened);
    RgbaImage refined(96, 72), bilinear(96, 72);
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) {
            const UpscalePixel p = reference.pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                refined.at(x, y)[c] = to_unorm8(p.refined[c]);
                bilinear.at(x, y)[c] = to_unorm8(p.bilinear[c]);
            }
            refined.at(x, y)[3] = bilinear.at(x, y)[3] = 255;
        }
    EXPECT_TRUE(images_match("refined_colour", output, refined, ImageTolerance{1, 0.999, 0.25, true}));
    EXPECT_FALSE(images_match("refined_differs_from_bilinear", output, bilinear, ImageTolerance{2, 0.99, 0.5, true}))
        << "the edges of this scene must be refined";
}

TEST_P(UpscalePassGLTest, WithoutEdgeAdaptationTheSmoothingAndFaceSwitchesDoNothing)
{
    const RgbaImage input = upscale_scenes(kInputWidth, kInputHeight)[4].image;
    for (int adaptive : {0, 2}) {
        const RgbaImage reference_image = draw_upscale_pass(GetParam(), input, 80, 60, UpscaleSettings{adaptive, 0, 0, 1.5f});
        for (int bilateral : {0, 1})
            for (int face : {0, 1}) {
                const RgbaImage output =
                    draw_upscale_pass(GetParam(), input, 80, 60, UpscaleSettings{adaptive, bilateral, face, 1.5f});
                EXPECT_TRUE(images_match("switches_off", output, reference_image, ImageTolerance::exact()))
                    << "enableEdgeAdaptive " << adaptive << ", bilateral " << bilateral << ", face " << face;
            }
    }
    // With edge adaptation on, the same switches do change this scene (skin tones and strong edges).
    const RgbaImage off = draw_upscale_pass(GetParam(), input, 80, 60, UpscaleSettings{1, 0, 0, 1.5f});
    const RgbaImage on = draw_upscale_pass(GetParam(), input, 80, 60, UpscaleSettings{1, 1, 1, 1.5f});
    EXPECT_FALSE(images_match("switches_on", on, off, ImageTolerance{2, 0.99, 0.5, true}));
}

INSTANTIATE_TEST_SUITE_P(Variants, UpscalePassGLTest,
                         ::testing::Values(UpscaleVariant::kMain, UpscaleVariant::kFallback),
                         [](const ::testing::TestParamInfo<UpscaleVariant>& info) {
                             return std::string(variant_name(info.param));
                         });
