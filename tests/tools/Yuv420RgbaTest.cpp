// The 4:2:0 conversions against the colour equations computed here in double precision: flat
// colours correctly rounded both ways, and chroma interpolated and filtered at its siting.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Yuv420Rgba.h"

namespace velmo_upscale {
namespace {

struct Matrix {
    AVColorSpace id;
    double kr, kb;
};
const Matrix kMatrices[] = {{AVCOL_SPC_BT470BG, 0.299, 0.114},
                            {AVCOL_SPC_BT709, 0.2126, 0.0722},
                            {AVCOL_SPC_BT2020_NCL, 0.2627, 0.0593}};
// Half a code and the error of 16-bit fixed-point coefficients.
constexpr double kRounding = 0.55;

struct Frame {
    FramePtr frame{av_frame_alloc()};
    Frame(int width, int height)
    {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    }
    uint8_t& at(int plane, int x, int y) { return frame->data[plane][y * frame->linesize[plane] + x]; }
    void fill(int plane, int value)
    {
        const int shift = plane ? 1 : 0;
        for (int y = 0; y < (frame->height + shift) >> shift; ++y)
            for (int x = 0; x < (frame->width + shift) >> shift; ++x)
                at(plane, x, y) = static_cast<uint8_t>(value);
    }
};

struct Exact {
    Matrix m;
    bool full;
    double luma_span() const { return full ? 255.0 : 219.0; }
    double chroma_span() const { return full ? 255.0 : 224.0; }
    double offset() const { return full ? 0.0 : 16.0; }
    // R, G and B (0 to 255, unclamped) of Y, U and V codes.
    void rgb(double y, double u, double v, double out[3]) const
    {
        const double luma = (y - offset()) / luma_span(), pb = (u - 128) / chroma_span(), pr = (v - 128) / chroma_span();
        const double r = luma + 2 * (1 - m.kr) * pr, b = luma + 2 * (1 - m.kb) * pb;
        out[0] = 255 * r;
        out[1] = 255 * (luma - m.kr * r - m.kb * b) / (1 - m.kr - m.kb);
        out[2] = 255 * b;
    }
    void yuv(double r, double g, double b, double out[3]) const
    {
        const double luma = (m.kr * r + (1 - m.kr - m.kb) * g + m.kb * b) / 255;
        out[0] = offset() + luma_span() * luma;
        out[1] = 128 + chroma_span() * (b / 255 - luma) / (2 * (1 - m.kb));
        out[2] = 128 + chroma_span() * (r / 255 - luma) / (2 * (1 - m.kr));
    }
};

double clamped(double value) { return std::fmin(std::fmax(value, 0.0), 255.0); }

TEST(Yuv420RgbaTest, FlatColoursAreCorrectlyRoundedBothWaysAtOddSizes)
{
    const int width = 5, height = 3;
    for (const Matrix& m : kMatrices) {
        for (bool full : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "matrix " << m.id << (full ? " full" : " limited") << " range");
            const Exact exact{m, full};
            auto conversion = Yuv420Rgba::for_layout(m.id, full, AVCHROMA_LOC_LEFT);
            ASSERT_TRUE(conversion);
            Frame yuv(width, height);
            std::vector<uint8_t> rgba(width * height * 4);
            double worst = 0;
            for (int y = 0; y < 256; y += 5)
                for (int u = 0; u < 256; u += 9)
                    for (int v = 0; v < 256; v += 9) {
                        yuv.fill(0, y);
                        yuv.fill(1, u);
                        yuv.fill(2, v);
                        conversion->to_rgba(*yuv.frame, rgba.data(), width * 4);
                        double want[3];
                        exact.rgb(y, u, v, want);
                        for (int i = 0; i < width * height; ++i) {
                            for (int c = 0; c < 3; ++c)
                                worst = std::fmax(worst, std::fabs(rgba[4 * i + c] - clamped(want[c])));
                            ASSERT_EQ(rgba[4 * i + 3], 255);
                        }
                    }
            EXPECT_LE(worst, kRounding) << "YUV to RGBA";

            worst = 0;
            for (int r = 0; r < 256; r += 15)
                for (int g = 0; g < 256; g += 15)
                    for (int b = 0; b < 256; b += 15) {
                        for (int i = 0; i < width * height; ++i) {
                            rgba[4 * i] = static_cast<uint8_t>(r);
                            rgba[4 * i + 1] = static_cast<uint8_t>(g);
                            rgba[4 * i + 2] = static_cast<uint8_t>(b);
                        }
                        conversion->from_rgba(rgba.data(), width * 4, *yuv.frame);
                        double want[3];
                        exact.yuv(r, g, b, want);
                        for (int y = 0; y < height; ++y)
                            for (int x = 0; x < width; ++x) {
                                worst = std::fmax(worst, std::fabs(yuv.at(0, x, y) - want[0]));
                                for (int plane = 1; plane <= 2; ++plane)
                                    worst = std::fmax(worst, std::fabs(yuv.at(plane, x / 2, y / 2) - want[plane]));
                            }
                    }
            EXPECT_LE(worst, kRounding) << "RGBA to YUV";
        }
    }
}

// Chroma ramps of 8 codes per sample: each pixel gets the chroma of its own position, left sited
// (sample k on pixel 2k) or centred (between pixels 2k and 2k + 1) across, and midway between
// luma rows down. Half a pixel off would be 2 codes of chroma off.
TEST(Yuv420RgbaTest, ChromaIsInterpolatedAtItsSiting)
{
    const int width = 32, height = 16;
    const Exact exact{kMatrices[1], false};
    for (AVChromaLocation siting : {AVCHROMA_LOC_LEFT, AVCHROMA_LOC_CENTER}) {
        SCOPED_TRACE(siting == AVCHROMA_LOC_LEFT ? "left" : "centre");
        Frame yuv(width, height);
        yuv.fill(0, 120);
        for (int y = 0; y < height / 2; ++y)
            for (int x = 0; x < width / 2; ++x) {
                yuv.at(1, x, y) = static_cast<uint8_t>(60 + 8 * x);
                yuv.at(2, x, y) = static_cast<uint8_t>(70 + 8 * y);
            }
        std::vector<uint8_t> rgba(width * height * 4);
        Yuv420Rgba::for_layout(AVCOL_SPC_BT709, false, siting)->to_rgba(*yuv.frame, rgba.data(), width * 4);
        const double across = siting == AVCHROMA_LOC_LEFT ? 0.0 : 0.5;
        for (int y = 1; y < height - 1; ++y)
            for (int x = 1; x < width - 2; ++x) {
                const double u = 60 + 8 * (x - across) / 2, v = 70 + 8 * (y - 0.5) / 2;
                double want[3];
                exact.rgb(120, u, v, want);
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(rgba[(y * width + x) * 4 + c], clamped(want[c]), kRounding)
                        << "pixel " << x << "," << y << " channel " << c;
            }
    }
}

// On an RGB picture that changes linearly, filtering around a sample gives the colour at the
// sample's own place: pixel 2k across, midway between the two rows down.
TEST(Yuv420RgbaTest, ChromaSamplesAreTakenAtTheirSite)
{
    const int width = 32, height = 16;
    const Exact exact{kMatrices[1], false};
    std::vector<uint8_t> rgba(width * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(y * width + x) * 4];
            p[0] = static_cast<uint8_t>(40 + 6 * y);
            p[1] = 120;
            p[2] = static_cast<uint8_t>(30 + 6 * x);
            p[3] = 255;
        }
    Frame yuv(width, height);
    Yuv420Rgba::for_layout(AVCOL_SPC_BT709, false, AVCHROMA_LOC_LEFT)->from_rgba(rgba.data(), width * 4, *yuv.frame);
    for (int k = 1; k < width / 2 - 1; ++k)
        for (int row = 0; row < height / 2; ++row) {
            double want[3];
            exact.yuv(40 + 6 * (2 * row + 0.5), 120, 30 + 6 * (2 * k), want);
            ASSERT_NEAR(yuv.at(1, k, row), want[1], kRounding) << "U sample " << k << "," << row;
            ASSERT_NEAR(yuv.at(2, k, row), want[2], kRounding) << "V sample " << k << "," << row;
        }
}

} // namespace
} // namespace velmo_upscale
