// Output sizes and velmo passes: every plan must land on exactly the size asked for, with no pass
// above 2x, using velmo's own single-precision truncation.
#include "ScalePlan.h"

#include <gtest/gtest.h>

#include <string>

#include "ToolError.h"

using namespace velmo_upscale;

namespace {

// The size the planned passes really draw, pass by pass as velmo computes it.
std::pair<int, int> drawn_size(int width, int height, const ScalePlan& plan)
{
    for (float scale : plan.pass_scales) {
        EXPECT_GT(scale, 0.0f);
        EXPECT_LE(scale, 2.0f);
        if (!scaled_size(width, height, scale, width, height))
            return {0, 0};
    }
    return {width, height};
}

} // namespace

TEST(ScalePlanTest, WidthAndHeightLandExactlyInPassesOfAtMostTwo)
{
    const std::pair<int, int> inputs[] = {{640, 360}, {45, 27}, {1919, 1079}, {7, 3}, {1, 1}, {720, 576}};
    for (auto [width, height] : inputs) {
        for (int target : {1, 2, 5, 99, 1000, 1279, 1920, 3840, 7681, 16384}) {
            int expected_height = static_cast<int>(static_cast<int64_t>(height) * target / width);
            if (expected_height < 1)
                continue;
            Options by_width;
            by_width.width = target;
            ScalePlan plan = plan_scale(by_width, width, height, "picture");
            EXPECT_EQ(plan.width, target);
            EXPECT_EQ(plan.height, expected_height);
            EXPECT_EQ(drawn_size(width, height, plan), std::make_pair(plan.width, plan.height))
                << width << "x" << height << " to width " << target;

            Options inside;
            inside.width = target;
            inside.height = target;
            plan = plan_scale(inside, width, height, "picture");
            EXPECT_TRUE(plan.width == target || plan.height == target);
            EXPECT_LE(plan.width, target);
            EXPECT_LE(plan.height, target);
            EXPECT_EQ(drawn_size(width, height, plan), std::make_pair(plan.width, plan.height))
                << width << "x" << height << " inside " << target;
        }
    }
}

TEST(ScalePlanTest, ScaleAboveTwoIsSplitAndSmallOnesStayOnePass)
{
    Options options;
    options.scale = 4.0f;
    ScalePlan plan = plan_scale(options, 640, 360, "video");
    EXPECT_EQ(plan.pass_scales, (std::vector<float>{2.0f, 2.0f}));
    EXPECT_EQ(plan.width, 2560);

    options.scale = 3.0f;
    plan = plan_scale(options, 45, 27, "video");
    EXPECT_EQ(plan.pass_scales, (std::vector<float>{2.0f, 1.5f}));
    EXPECT_EQ(drawn_size(45, 27, plan), std::make_pair(135, 81));

    options.scale = 1.3f; // passed on as it is, so sizes stay what velmo draws for it
    plan = plan_scale(options, 45, 27, "video");
    EXPECT_EQ(plan.pass_scales, (std::vector<float>{1.3f}));
    EXPECT_EQ(plan.width, 58);

    options.scale = 0.01f;
    try {
        plan_scale(options, 45, 27, "video");
        ADD_FAILURE() << "a scale that leaves nothing was planned";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.status(), kExitUsage);
        EXPECT_STREQ(error.what(), "--scale 0.01 leaves nothing of a 45x27 video");
    }
}
