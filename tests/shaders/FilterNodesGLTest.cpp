// The Gaussian blur, skin-tone bilateral and unsharp-mask nodes drawn on Mesa.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "shaders/FixedPointTexture.h"
#include "shaders/QuadProgram.h"
#include "shaders/SceneImages.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "velmo/GRFRenderNodeBilateral.h"
#include "velmo/GRFRenderNodeGaussianBlur.h"
#include "velmo/GRFRenderNodeUSM.h"

using namespace velmo_test;
using GRF::GRF_RENDER_NODE_TARGET_TEXTURE;

namespace {

class FilterNodesGLTest : public PlayerGLTest {
protected:
    // Runs a node once over the given inputs and reads its target back.
    static RgbaImage run(GRF::GRFRenderNode& node, int width, int height)
    {
        EXPECT_EQ(node.init(), 0);
        EXPECT_EQ(node.render(), 0);
        RgbaImage result(width, height);
        node.read_pixel_rgba(0, 0, width, height, result.pixels.data());
        node.uninit();
        return result;
    }

    // A black 16 x 8 frame with one white texel at (8, 4), alpha rising along x.
    static RgbaImage impulse()
    {
        RgbaImage image(16, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                image.at(x, y)[3] = static_cast<uint8_t>(x * 16);
        uint8_t* p = image.at(8, 4);
        p[0] = p[1] = p[2] = 255;
        return image;
    }
};

} // namespace

// The outer taps lie at -+(blur size / b, blur size / a): the x step comes from the height offset.
TEST_F(FilterNodesGLTest, GaussianTapsAndOffsets)
{
    const RgbaImage input = impulse();
    const auto texture = upload(input);
    {
        kx_velmo::GRFRenderNodeGaussianBlur blur(16, 8, GRF_RENDER_NODE_TARGET_TEXTURE, -1);
        blur.add_input_texture("input_texture", texture.get());
        blur.set_blur_size(1.0f);
        blur.set_texel_size(8.0f, 16.0f); // x step 1/16 (one texel), y step 1/8 (one texel)
        const RgbaImage out = run(blur, 16, 8);
        EXPECT_NEAR(out.at(8, 4)[0], 128, 1);
        EXPECT_NEAR(out.at(7, 3)[0], 64, 1);
        EXPECT_NEAR(out.at(9, 5)[0], 64, 1);
        EXPECT_EQ(out.at(9, 3)[0], 0);
        EXPECT_EQ(out.at(8, 5)[0], 0);
        EXPECT_EQ(out.at(10, 4)[0], 0);
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(out.at(x, 2)[3], x * 16) << "alpha comes from the centre";
    }
    {
        kx_velmo::GRFRenderNodeGaussianBlur horizontal(16, 8, GRF_RENDER_NODE_TARGET_TEXTURE, -1);
        horizontal.add_input_texture("input_texture", texture.get());
        horizontal.set_blur_size(2.0f);
        horizontal.set_texel_size(-1.0f, 16.0f); // no y step; x step two texels
        const RgbaImage out = run(horizontal, 16, 8);
        EXPECT_NEAR(out.at(6, 4)[1], 64, 1);
        EXPECT_NEAR(out.at(10, 4)[1], 64, 1);
        EXPECT_EQ(out.at(7, 4)[1], 0);
        EXPECT_EQ(out.at(8, 3)[1], 0);
    }
}

TEST_F(FilterNodesGLTest, GaussianCopiesWithZeroOffsetsAndBlurSizeWaitsForTexelSize)
{
    const RgbaImage input = random_image(16, 8, 2);
    const auto texture = upload(input);
    kx_velmo::GRFRenderNodeGaussianBlur blur(16, 8, GRF_RENDER_NODE_TARGET_TEXTURE, -1);
    blur.add_input_texture("input_texture", texture.get());
    EXPECT_TRUE(images_match("gaussian_initial", run(blur, 16, 8), input, ImageTolerance{1, 1.0, 0.5, true}));

    blur.set_blur_size(3.0f);
    EXPECT_TRUE(images_match("gaussian_blur_size_only", run(blur, 16, 8), input, ImageTolerance{1, 1.0, 0.5, true}))
        << "a new blur size alone must not move the taps";
    blur.set_texel_size(16.0f, 8.0f);
    EXPECT_FALSE(images_match("gaussian_blurred", run(blur, 16, 8), input, ImageTolerance{1, 1.0, 0.5, true}));
}

// Non-skin pixels are copied exactly with alpha 1; skin pixels become half the bilateral mean of
// nine taps two pixels apart and half themselves.
TEST_F(FilterNodesGLTest, BilateralAgreesWithItsReference)
{
    const RgbaImage input = upscale_scenes(40, 30)[4].image; // skin-tone discs on a non-skin field
    const auto texture = upload(input);
    const float sigma_s = 0.8f, sigma_r = 0.3f;
    auto bilateral = std::make_shared<kx_velmo::GRFRenderNodeBilateral>(40, 30);
    bilateral->add_input_texture("input_texture", texture.get());
    bilateral->set_texel_size(40.0f, 30.0f);
    bilateral->set_params(sigma_s, sigma_r);
    const RgbaImage out = run(*bilateral, 40, 30);

    const FixedPointTexture texels(input);
    const int offsets[9][2] = {{-2, -2}, {0, -2}, {2, -2}, {-2, 0}, {0, 0}, {2, 0}, {-2, 2}, {0, 2}, {2, 2}};
    const float distances[9] = {2, 1, 2, 1, 0, 1, 2, 1, 2};
    int skin_pixels = 0, smoothed = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            float c0[3];
            for (int c = 0; c < 3; ++c)
                c0[c] = texels.texel(x, y, c) / 255.0f;
            const float cr = 0.5f * c0[0] - 0.4187f * c0[1] - 0.0813f * c0[2] + 0.5f;
            const float cb = -0.168f * c0[0] - 0.3313f * c0[1] + 0.5f * c0[2] + 0.5f;
            const bool skin = cr >= 133.0f / 255 && cr <= 173.0f / 255 && cb >= 77.0f / 255 && cb <= 127.0f / 255;
            ASSERT_EQ(out.at(x, y)[3], 255);
            if (!skin) {
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(out.at(x, y)[c], input.at(x, y)[c]) << "non-skin pixel changed at " << x << "," << y;
                continue;
            }
            ++skin_pixels;
            const float k_s = 1.0f / (2.0f * sigma_s * sigma_s), k_r = 1.0f / (2.0f * sigma_r * sigma_r);
            float sum[3] = {0, 0, 0}, weight_sum = 0.0f;
            for (int i = 0; i < 9; ++i) {
                float tap[3], d = 0.0f;
                for (int c = 0; c < 3; ++c) {
                    tap[c] = texels.texel(x + offsets[i][0], y + offsets[i][1], c) / 255.0f;
                    d += (c0[c] - tap[c]) * (c0[c] - tap[c]);
                }
                const float w = std::exp(-distances[i] * k_s) * std::exp(-d * k_r);
                for (int c = 0; c < 3; ++c)
                    sum[c] += tap[c] * w;
                weight_sum += w;
            }
            for (int c = 0; c < 3; ++c) {
                const int expected = static_cast<int>(std::lrint((sum[c] / weight_sum * 0.5f + c0[c] * 0.5f) * 255.0f));
                ASSERT_NEAR(out.at(x, y)[c], expected, 1) << "skin pixel at " << x << "," << y;
                smoothed += out.at(x, y)[c] != input.at(x, y)[c];
            }
        }
    EXPECT_GT(skin_pixels, 200);
    EXPECT_GT(smoothed, 100);
}

TEST_F(FilterNodesGLTest, BilateralWithoutUsableParametersCopies)
{
    RgbaImage input = upscale_scenes(24, 18)[4].image;
    for (size_t i = 3; i < input.pixels.size(); i += 4)
        input.pixels[i] = 255;
    const auto texture = upload(input);
    kx_velmo::GRFRenderNodeBilateral unsized(24, 18);
    unsized.add_input_texture("input_texture", texture.get());
    EXPECT_TRUE(images_match("bilateral_unsized", run(unsized, 24, 18), input, ImageTolerance::exact()))
        << "image size 0 (never set)";

    kx_velmo::GRFRenderNodeBilateral zero_sigma(24, 18);
    zero_sigma.add_input_texture("input_texture", texture.get());
    zero_sigma.set_texel_size(24.0f, 18.0f);
    zero_sigma.set_params(0.0f, 1.0f);
    EXPECT_TRUE(images_match("bilateral_zero_sigma", run(zero_sigma, 24, 18), input, ImageTolerance::exact()));
}

// "input_texture" is the blurred image and "input_texture2" the sharp one; they are bound in key order.
TEST_F(FilterNodesGLTest, UnsharpMaskBindsBothInputsInKeyOrder)
{
    const RgbaImage blurred = random_image(20, 10, 30), sharp = random_image(20, 10, 31);
    const auto blurred_texture = upload(blurred), sharp_texture = upload(sharp);
    kx_velmo::GRFRenderNodeUSM usm(20, 10, GRF_RENDER_NODE_TARGET_TEXTURE, -1);
    usm.add_input_texture("input_texture2", sharp_texture.get());
    usm.add_input_texture("input_texture", blurred_texture.get());

    usm.set_intensity(0.0f);
    EXPECT_TRUE(images_match("usm_node_identity", run(usm, 20, 10), sharp, ImageTolerance::exact()));

    usm.set_intensity(0.75f);
    RgbaImage expected = sharp;
    for (size_t i = 0; i < expected.pixels.size(); ++i) {
        if (i % 4 == 3)
            continue;
        const float s = sharp.pixels[i] / 255.0f, b = blurred.pixels[i] / 255.0f;
        expected.pixels[i] = static_cast<uint8_t>(std::lrint(std::clamp(s + (s - b) * 0.75f, 0.0f, 1.0f) * 255.0f));
    }
    EXPECT_TRUE(images_match("usm_node", run(usm, 20, 10), expected, ImageTolerance{1, 1.0, 0.5, true}));
}
