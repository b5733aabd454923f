// Lanczos's sharpened peers work on R, G and B alike and without colour conversion: a grey picture
// stays grey, flat areas stay untouched, and an edge gains the overshoot sharpening is for.
#include "PeerSharpening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

using velmo_upscale::RgbaImage;

namespace {

// A grey step across the picture: 60 on the left half, 180 on the right.
RgbaImage grey_step(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = image.at(x, y);
            pixel[0] = pixel[1] = pixel[2] = x < width / 2 ? 60 : 180;
            pixel[3] = 255;
        }
    return image;
}

TEST(PeerSharpening, BothFiltersSharpenEveryChannelAlikeAndLeaveFlatAreas)
{
    const RgbaImage step = grey_step(48, 16);
    for (const std::string& filter : {velmo_bench::cas_filter(0.8), velmo_bench::unsharp_filter(1.5)}) {
        SCOPED_TRACE(filter);
        RgbaImage sharpened = velmo_bench::sharpen_channels(step, filter);
        ASSERT_EQ(sharpened.width, step.width);
        ASSERT_EQ(sharpened.height, step.height);
        int brightest = 0;
        for (int y = 0; y < step.height; ++y)
            for (int x = 0; x < step.width; ++x) {
                const uint8_t* pixel = sharpened.at(x, y);
                ASSERT_EQ(pixel[1], pixel[0]) << "at " << x << "," << y;
                ASSERT_EQ(pixel[2], pixel[0]) << "at " << x << "," << y;
                ASSERT_EQ(pixel[3], 255);
                if (x < 8 || x >= step.width - 8) {
                    ASSERT_EQ(pixel[0], step.at(x, y)[0]) << "flat area changed at " << x << "," << y;
                }
                brightest = std::max<int>(brightest, pixel[0]);
            }
        EXPECT_GT(brightest, 180) << "no overshoot at the edge";
    }
}

TEST(PeerSharpening, AFilterLibavfilterRefusesIsAnError)
{
    EXPECT_THROW(velmo_bench::sharpen_channels(grey_step(16, 16), "cas=strength=7"), std::runtime_error);
}

} // namespace
