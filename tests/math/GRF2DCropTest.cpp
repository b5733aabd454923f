// GRF2DCrop: where each placement mode puts the full-screen quad, checked through the pixels its corners reach.
#include "grf/GRFMath/GRF2DCrop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using GRF::GRF2DCrop;
using GRF::GRFCropType;
using GRF::Matrix4x4;

namespace {

struct Pixel {
    double x;
    double y;
};

// Runs quad vertex (qx, qy, 0, 1) through m and turns the clip-space result into canvas pixels
// (x to the right, y down from the top edge).
Pixel to_pixel(const Matrix4x4<float>& m, double qx, double qy, double width, double height)
{
    double clip[4];
    for (int i = 0; i < 4; ++i)
        clip[i] = m.get(i, 0) * qx + m.get(i, 1) * qy + m.get(i, 3);
    return {(clip[0] / clip[3] + 1.0) * width / 2.0, (1.0 - clip[1] / clip[3]) * height / 2.0};
}

// Checks that the quad's top-left corner (-1, 1) lands on pixel (left, top) and its bottom-right
// corner (1, -1) on (left + width, top + height), and that depth 0 maps to -1.
void expect_rectangle(const Matrix4x4<float>& m, double canvas_w, double canvas_h, double left, double top,
                      double width, double height)
{
    const double tolerance = 1e-3;
    const Pixel top_left = to_pixel(m, -1, 1, canvas_w, canvas_h);
    const Pixel bottom_right = to_pixel(m, 1, -1, canvas_w, canvas_h);
    EXPECT_NEAR(top_left.x, left, tolerance);
    EXPECT_NEAR(top_left.y, top, tolerance);
    EXPECT_NEAR(bottom_right.x, left + width, tolerance);
    EXPECT_NEAR(bottom_right.y, top + height, tolerance);
    EXPECT_FLOAT_EQ(m.get(2, 3), -1.0f);
    EXPECT_FLOAT_EQ(m.get(2, 2), -0.02f);
    EXPECT_EQ(m.get(3, 0), 0.0f);
    EXPECT_EQ(m.get(3, 1), 0.0f);
    EXPECT_EQ(m.get(3, 2), 0.0f);
    EXPECT_EQ(m.get(3, 3), 1.0f);
}

Matrix4x4<float> crop_once(float canvas_w, float canvas_h, float content_w, float content_h, GRFCropType type)
{
    GRF2DCrop crop(canvas_w, canvas_h);
    return crop.crop(content_w, content_h, type);
}

bool all_zero(const Matrix4x4<float>& m)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m.get(i, j) != 0.0f)
                return false;
    return true;
}

} // namespace

TEST(GRF2DCrop, PortraitContentInLandscapeCanvas)
{
    // Content aspect 1080 / 1920 = 0.5625 is below the canvas's 1.777...: the FIT modes use the full
    // height, dw = 0.5625 * 1080 = 607.5; FILL uses the full width, dh = 1920 / 0.5625 = 3413.33...
    const double fill_height = 1920.0 / 0.5625;
    expect_rectangle(crop_once(1920, 1080, 1080, 1920, GRF::GRF_CROP_FIT_CENTER), 1920, 1080,
                     (1920 - 607.5) / 2, 0, 607.5, 1080);
    expect_rectangle(crop_once(1920, 1080, 1080, 1920, GRF::GRF_CROP_FIT_END), 1920, 1080, 1920 - 607.5, 0, 607.5,
                     1080);
    expect_rectangle(crop_once(1920, 1080, 1080, 1920, GRF::GRF_CROP_FIT_START), 1920, 1080, 0, 0, 607.5, 1080);
    expect_rectangle(crop_once(1920, 1080, 1080, 1920, GRF::GRF_CROP_FILL_CENTER), 1920, 1080, 0,
                     (1080 - fill_height) / 2, 1920, fill_height);
    expect_rectangle(crop_once(1920, 1080, 1080, 1920, GRF::GRF_CROP_STRETCH), 1920, 1080, 0, 0, 1920, 1080);
}

TEST(GRF2DCrop, LandscapeContentInPortraitCanvas)
{
    // Content aspect 1920 / 1080 is above the canvas's 0.5625: the FIT modes use the full width,
    // dh = 1080 / (1920 / 1080) = 607.5; FILL uses the full height, dw = 1920 * 1920 / 1080 = 3413.33...
    const double fill_width = 1920.0 * 1920.0 / 1080.0;
    expect_rectangle(crop_once(1080, 1920, 1920, 1080, GRF::GRF_CROP_FIT_CENTER), 1080, 1920, 0,
                     (1920 - 607.5) / 2, 1080, 607.5);
    expect_rectangle(crop_once(1080, 1920, 1920, 1080, GRF::GRF_CROP_FIT_END), 1080, 1920, 0, 1920 - 607.5, 1080,
                     607.5);
    expect_rectangle(crop_once(1080, 1920, 1920, 1080, GRF::GRF_CROP_FIT_START), 1080, 1920, 0, 0, 1080, 607.5);
    expect_rectangle(crop_once(1080, 1920, 1920, 1080, GRF::GRF_CROP_FILL_CENTER), 1080, 1920,
                     (1080 - fill_width) / 2, 0, fill_width, 1920);
    expect_rectangle(crop_once(1080, 1920, 1920, 1080, GRF::GRF_CROP_STRETCH), 1080, 1920, 0, 0, 1080, 1920);
}

TEST(GRF2DCrop, MatchingAspectFillsTheCanvasInEveryMode)
{
    for (GRFCropType type : {GRF::GRF_CROP_FIT_CENTER, GRF::GRF_CROP_STRETCH, GRF::GRF_CROP_FIT_END,
                             GRF::GRF_CROP_FIT_START, GRF::GRF_CROP_FILL_CENTER}) {
        SCOPED_TRACE(static_cast<int>(type));
        expect_rectangle(crop_once(1920, 1080, 1280, 720, type), 1920, 1080, 0, 0, 1920, 1080);
    }
}

TEST(GRF2DCrop, StretchMapsTheQuadOntoItself)
{
    // Every stage cancels: x and y pass through, z becomes -0.02 z - 1.
    const Matrix4x4<float> m = crop_once(1280, 720, 64, 999, GRF::GRF_CROP_STRETCH);
    const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -0.02f, -1}, {0, 0, 0, 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(m.get(i, j), expected[i][j], 1e-6) << i << "," << j;
}

TEST(GRF2DCrop, UnknownTypeKeepsThePreviousRectangle)
{
    GRF2DCrop crop(1920, 1080);
    // Nothing chosen yet: size scale and translation are identities, a one-pixel square at the origin.
    expect_rectangle(crop.crop(1080, 1920, static_cast<GRFCropType>(7)), 1920, 1080, 0, 0, 1, 1);

    crop.crop(1080, 1920, GRF::GRF_CROP_FIT_CENTER);
    expect_rectangle(crop.crop(10, 10, static_cast<GRFCropType>(7)), 1920, 1080, (1920 - 607.5) / 2, 0, 607.5,
                     1080);
}

TEST(GRF2DCrop, NegativeSizesMirrorThePlacement)
{
    // Content -1080 x 1920 in 1920 x 1080: dw = -0.5625 * 1080 = -607.5, tx = (1920 + 607.5) / 2, so
    // the fitted rectangle of the positive size is drawn from its right edge leftwards.
    GRF2DCrop crop(1920, 1080);
    expect_rectangle(crop.crop(-1080, 1920, GRF::GRF_CROP_FIT_CENTER), 1920, 1080, 1263.75, 0, -607.5, 1080);
    // The member matrices took the mirrored rectangle: an unknown type reuses it.
    expect_rectangle(crop.crop(1, 1, static_cast<GRFCropType>(7)), 1920, 1080, 1263.75, 0, -607.5, 1080);

    // FILL with a negative height: dh = 1920 / -0.5625, ty = (1080 - dh) / 2, drawn upwards.
    const double fill_height = 1920.0 / -0.5625;
    expect_rectangle(crop_once(1920, 1080, 1080, -1920, GRF::GRF_CROP_FILL_CENTER), 1920, 1080, 0,
                     (1080 - fill_height) / 2, 1920, fill_height);
    EXPECT_FALSE(all_zero(crop_once(-1920, 1080, 1080, 1920, GRF::GRF_CROP_FIT_CENTER)));
}

TEST(GRF2DCrop, UnusableSizesGiveAnEmptyPlacement)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(all_zero(crop_once(0, 1080, 1080, 1920, GRF::GRF_CROP_STRETCH)));
    EXPECT_TRUE(all_zero(crop_once(1920, 0, 1080, 1920, static_cast<GRFCropType>(7))));
    EXPECT_TRUE(all_zero(crop_once(1920, 1080, 0, 1920, GRF::GRF_CROP_FIT_CENTER)));
    EXPECT_TRUE(all_zero(crop_once(1920, 1080, 1080, 0, GRF::GRF_CROP_FILL_CENTER)));
    EXPECT_TRUE(all_zero(crop_once(1920, 1080, -1080, nan, GRF::GRF_CROP_FIT_END)));
    EXPECT_TRUE(all_zero(crop_once(inf, 1080, 1080, 1920, GRF::GRF_CROP_FIT_START)));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.rfind("[GRF2DCrop.cpp(", 0), 0u) << log;
    EXPECT_NE(log.find("] GRF2DCrop crop Error, canvas (1920.000000, 1080.000000) content (0.000000, 1920.000000) type 0\n"),
              std::string::npos)
        << log;

    // Stretch never looks at the content size, so an empty content still covers the canvas.
    expect_rectangle(crop_once(1920, 1080, 0, 0, GRF::GRF_CROP_STRETCH), 1920, 1080, 0, 0, 1920, 1080);

    // A refused call leaves the last rectangle in place for the next one.
    GRF2DCrop crop(1920, 1080);
    crop.crop(1080, 1920, GRF::GRF_CROP_FIT_END);
    testing::internal::CaptureStderr();
    crop.crop(0, 0, GRF::GRF_CROP_FIT_CENTER);
    testing::internal::GetCapturedStderr();
    expect_rectangle(crop.crop(1, 1, static_cast<GRFCropType>(7)), 1920, 1080, 1920 - 607.5, 0, 607.5, 1080);
}
