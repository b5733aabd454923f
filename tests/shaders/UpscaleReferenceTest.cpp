// The upscaling reference on its own (no GL): the twelve taps are the texels of the tap table, and the
// strict thresholds hold on exact ties (a vote of exactly 4/255 does not refine, one of exactly 16/255
// does not lower the sharpening weight).
#include <gtest/gtest.h>

#include <cmath>

#include "shaders/UpscaleReference.h"

using namespace velmo_test;

namespace {

// An 8 x 8 frame of grey 100 with one texel's green raised to `green`. Drawn at scale 1, output pixel
// (3, 3) sits on that texel: its first quad holds it (z) and the texel above it (y), so the edge vote
// is 2 * (green - 100) in 1/255 steps.
UpscalePixel centre_pixel(int green, const UpscaleSettings& settings, unsigned other_side = 0)
{
    RgbaImage image(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = p[1] = p[2] = 100;
            p[3] = 255;
        }
    image.at(3, 3)[1] = static_cast<uint8_t>(green);
    return UpscaleReference(image, 8, 8, settings).pixel(3, 3, other_side);
}

} // namespace

// Every texel's green is its own code, so each tap names the texel it came from. The taps form the
// 4 x 4 block of columns px - 1 .. px + 2 and rows py - 2 .. py + 1 without its corners, in the
// order upDown, left, right.
TEST(UpscaleReferenceTaps, TwelveTapsComeFromTheTableTexels)
{
    RgbaImage image(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = p[2] = 128;
            p[1] = static_cast<uint8_t>(x + 16 * y);
            p[3] = 255;
        }
    const int table[12][2] = {{0, -2}, {1, -2}, {1, 1}, {0, 1}, {-1, 0}, {0, 0},
                              {0, -1}, {-1, -1}, {1, 0}, {2, 0}, {2, -1}, {1, -1}};
    const UpscaleReference reference(image, 37, 41, UpscaleSettings{});
    int checked = 0;
    for (int y = 8; y < 33; y += 3)
        for (int x = 6; x < 30; x += 5) {
            const UpscalePixel p = reference.pixel(x, y);
            ASSERT_TRUE(p.refined_by_edge);
            // The pixel lies inside the inner quad: column px + f.x and row py - 1 + f.y.
            const float column = (x + 0.5f) * 16.0f / 37.0f - 0.5f, row = (y + 0.5f) * 16.0f / 41.0f - 0.5f;
            EXPECT_EQ(p.grid_x, static_cast<int>(std::floor(column)));
            EXPECT_EQ(p.grid_y - 1, static_cast<int>(std::floor(row)));
            for (int k = 0; k < 12; ++k) {
                const int code = (p.grid_x + table[k][0]) + 16 * (p.grid_y + table[k][1]);
                EXPECT_EQ(p.taps[k], code / 255.0f) << "tap " << k << " of pixel " << x << "," << y;
            }
            ++checked;
        }
    EXPECT_GT(checked, 30);
}

TEST(UpscaleReferenceTies, EdgeVoteOfExactlyFourStepsDoesNotRefine)
{
    const UpscaleSettings settings;
    const UpscalePixel below = centre_pixel(101, settings);
    EXPECT_EQ(below.edge_vote_255, 2);
    EXPECT_FALSE(below.refined_by_edge);

    const UpscalePixel tie = centre_pixel(102, settings);
    EXPECT_EQ(tie.edge_vote_255, 4);
    EXPECT_FALSE(tie.refined_by_edge);
    EXPECT_EQ(tie.delta_y, 0.0f);
    EXPECT_EQ(tie.refined, tie.bilinear);
    EXPECT_TRUE(tie.ties & kTieEdge) << "a driver at mediump may take either side";
    EXPECT_TRUE(centre_pixel(102, settings, kTieEdge).refined_by_edge);

    const UpscalePixel above = centre_pixel(103, settings);
    EXPECT_EQ(above.edge_vote_255, 6);
    EXPECT_TRUE(above.refined_by_edge);
    EXPECT_FALSE(above.ties & kTieEdge);
}

TEST(UpscaleReferenceTies, EdgeVoteOfExactlySixteenStepsKeepsFullSharpening)
{
    UpscaleSettings settings;
    const UpscalePixel tie = centre_pixel(108, settings);
    EXPECT_EQ(tie.edge_vote_255, 16);
    EXPECT_EQ(tie.usm_weight, 1.0f);
    EXPECT_TRUE(tie.ties & kTieStrongEdge);
    EXPECT_EQ(centre_pixel(108, settings, kTieStrongEdge).usm_weight, 0.2f);

    const UpscalePixel above = centre_pixel(109, settings);
    EXPECT_EQ(above.edge_vote_255, 18);
    EXPECT_EQ(above.usm_weight, 0.2f);

    settings.enable_bilateral_filter = 1;
    EXPECT_EQ(centre_pixel(108, settings).usm_weight, 1.0f);
    EXPECT_EQ(centre_pixel(109, settings).usm_weight, 0.5f);

    settings.enable_edge_adaptive = 0;
    EXPECT_EQ(centre_pixel(109, settings).usm_weight, 1.0f) << "plain sharpening ignores the vote";
}

TEST(UpscaleReferenceTies, SkinBoxIncludesItsBounds)
{
    // The pixel tests accept either side near a bound, so only this pins the comparisons.
    const float cr_low = kSkinBoxBounds[0], cr_high = kSkinBoxBounds[1];
    const float cb_low = kSkinBoxBounds[2], cb_high = kSkinBoxBounds[3];
    const float cr_mid = 0.6f, cb_mid = 0.4f;
    EXPECT_TRUE(skin_box_contains(cr_low, cb_mid));
    EXPECT_TRUE(skin_box_contains(cr_high, cb_mid));
    EXPECT_TRUE(skin_box_contains(cr_mid, cb_low));
    EXPECT_TRUE(skin_box_contains(cr_mid, cb_high));
    EXPECT_FALSE(skin_box_contains(std::nextafter(cr_low, 0.0f), cb_mid));
    EXPECT_FALSE(skin_box_contains(std::nextafter(cr_high, 1.0f), cb_mid));
    EXPECT_FALSE(skin_box_contains(cr_mid, std::nextafter(cb_low, 0.0f)));
    EXPECT_FALSE(skin_box_contains(cr_mid, std::nextafter(cb_high, 1.0f)));
}
