// The progress line's wording and arithmetic, and that it stays off streams that are not terminals.
#include "Progress.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace velmo_upscale;

TEST(ProgressTest, LineShowsFramesSpeedAndTimeLeft)
{
    EXPECT_EQ(progress_text(42, 120, 12.0), "42/120 frames  3.5 fps  0:22 left");
    EXPECT_EQ(progress_text(42, 0, 12.0), "42 frames  3.5 fps") << "no time left without a total";
    EXPECT_EQ(progress_text(0, 120, 3.0), "0/120 frames") << "no speed before the first frame";
    EXPECT_EQ(progress_text(130, 120, 13.0), "130/120 frames  10.0 fps") << "an estimate that fell short";
    EXPECT_EQ(clock_text(59.6), "1:00");
    EXPECT_EQ(clock_text(3723.0), "1:02:03");
}

TEST(ProgressTest, DrawsNothingOnAFile)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    Progress progress(file, 3);
    for (int i = 0; i < 3; ++i)
        progress.frame_done();
    progress.finish();
    EXPECT_EQ(progress.frames_done(), 3);
    EXPECT_EQ(std::ftell(file), 0L);
    std::fclose(file);
}
