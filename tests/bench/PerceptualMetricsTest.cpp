// butteraugli's and SSIMULACRA's figures as read back from libjxl's tools: none for a picture
// against itself, growing with the damage, the maximum never under the 3-norm; and the scorer's
// temporary files gone with it.
#include "PerceptualMetrics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "support/TemporaryDirectory.h"

using velmo_bench::PerceptualScorer;
using velmo_bench::PerceptualScores;
using velmo_upscale::RgbaImage;

namespace {

bool tools_installed()
{
    return std::system("command -v butteraugli_main >/dev/null && command -v ssimulacra_main >/dev/null") == 0;
}

// Rings and stripes in three colours: detail for the metrics to see.
RgbaImage detailed(int side)
{
    RgbaImage image(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint8_t* pixel = image.at(x, y);
            double radius = std::hypot(x - side / 2.0, y - side / 2.0);
            pixel[0] = static_cast<uint8_t>(128 + 100 * std::sin(radius / 2.5));
            pixel[1] = static_cast<uint8_t>((x / 4 + y / 6) % 2 ? 200 : 40);
            pixel[2] = static_cast<uint8_t>(x * 255 / side);
            pixel[3] = 255;
        }
    return image;
}

// A box blur of the given radius, edges clamped.
RgbaImage blurred(const RgbaImage& image, int radius)
{
    RgbaImage result(image.width, image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int channel = 0; channel < 4; ++channel) {
                int sum = 0;
                int count = 0;
                for (int dy = -radius; dy <= radius; ++dy)
                    for (int dx = -radius; dx <= radius; ++dx) {
                        int sx = std::clamp(x + dx, 0, image.width - 1);
                        int sy = std::clamp(y + dy, 0, image.height - 1);
                        sum += image.at(sx, sy)[channel];
                        ++count;
                    }
                result.at(x, y)[channel] = static_cast<uint8_t>(sum / count);
            }
    return result;
}

TEST(PerceptualMetrics, FiguresGrowWithTheDamageFromNoneForTheOriginal)
{
    if (!tools_installed())
        GTEST_SKIP() << "butteraugli_main or ssimulacra_main missing (scripts/install-deps.sh --benchmarks)";
    RgbaImage original = detailed(96);
    PerceptualScorer scorer;
    scorer.set_original(original);
    PerceptualScores same = scorer.score(original);
    PerceptualScores light = scorer.score(blurred(original, 1));
    PerceptualScores heavy = scorer.score(blurred(original, 3));

    EXPECT_LT(same.butteraugli_max, 0.01);
    EXPECT_LT(same.butteraugli_3norm, 0.01);
    EXPECT_LT(same.ssimulacra, 0.001);
    for (const PerceptualScores& damaged : {light, heavy})
        EXPECT_GE(damaged.butteraugli_max, damaged.butteraugli_3norm);
    EXPECT_GT(light.butteraugli_3norm, 0.1);
    EXPECT_GT(heavy.butteraugli_3norm, light.butteraugli_3norm);
    EXPECT_GT(heavy.butteraugli_max, light.butteraugli_max);
    EXPECT_GT(light.ssimulacra, same.ssimulacra);
    EXPECT_GT(heavy.ssimulacra, light.ssimulacra);
}

TEST(PerceptualMetrics, ASizeOtherThanTheOriginalsIsRefusedAndNoFileIsLeftBehind)
{
    velmo_test::TemporaryDirectory folder;
    const char* previous = std::getenv("TMPDIR");
    std::string kept = previous ? previous : "";
    setenv("TMPDIR", folder.path().c_str(), 1);
    {
        PerceptualScorer scorer;
        scorer.set_original(detailed(32));
        EXPECT_THROW(scorer.score(detailed(48)), std::runtime_error);
    }
    if (previous)
        setenv("TMPDIR", kept.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_TRUE(folder.entries().empty());
}

} // namespace
