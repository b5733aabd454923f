// PNG reading of the colour types a user may hand in, writing, and the refusal of broken files.
#include "PngIo.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Png16.h"
#include "ScratchFolder.h"
#include "ToolError.h"

using namespace velmo_upscale;
using velmo_upscale_test::ScratchFolder;

namespace {

RgbaImage gradient(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = static_cast<uint8_t>(x * 17);
            p[1] = static_cast<uint8_t>(y * 31);
            p[2] = static_cast<uint8_t>(x * y);
            p[3] = static_cast<uint8_t>(255 - x * 3);
        }
    return image;
}

// The status and message read_png fails with.
std::pair<ExitStatus, std::string> read_failure(const std::string& path)
{
    try {
        read_png(path);
    } catch (const ToolError& error) {
        return {error.status(), error.what()};
    }
    return {kExitOk, ""};
}

// The start of a width x height grey PNG: its header and the compressed data of `rows` rows of
// noise (noise, so that libpng has whole data chunks to write), as a file cut short or forged to
// announce a huge picture looks.
bool write_png_start(const std::string& path, int width, int height, int rows)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<size_t>(width));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    uint32_t noise = 1;
    for (int y = 0; y < rows; ++y) {
        for (png_byte& sample : row) {
            noise = noise * 1664525u + 1013904223u;
            sample = static_cast<png_byte>(noise >> 24);
        }
        png_write_row(png, row.data());
    }
    bool closed = std::fclose(file) == 0;
    png_destroy_write_struct(&png, &info);
    return closed;
}

} // namespace

TEST(PngIoTest, RgbaRoundTripIsExactAndKeepsAlpha)
{
    ScratchFolder folder;
    RgbaImage image = gradient(7, 5);
    save_png(folder.path("a.png"), image, true);
    PngPicture picture = read_png(folder.path("a.png"));
    EXPECT_TRUE(picture.has_alpha);
    EXPECT_EQ(picture.image.width, 7);
    EXPECT_EQ(picture.image.height, 5);
    EXPECT_EQ(picture.image.pixels, image.pixels);
}

TEST(PngIoTest, OpaqueOutputDropsAlphaAndReadsBackOpaque)
{
    ScratchFolder folder;
    save_png(folder.path("rgb.png"), gradient(4, 3), false);
    PngPicture picture = read_png(folder.path("rgb.png"));
    EXPECT_FALSE(picture.has_alpha);
    EXPECT_EQ(picture.image.at(3, 2)[0], 51);
    EXPECT_EQ(picture.image.at(3, 2)[3], 255);
}

TEST(PngIoTest, GreyWithAlphaIsExpandedToRgba)
{
    ScratchFolder folder;
    const uint8_t grey_alpha[] = {0, 255, 128, 64, 255, 0};
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = 3;
    png.height = 1;
    png.format = PNG_FORMAT_GA;
    ASSERT_TRUE(png_image_write_to_file(&png, folder.path("ga.png").c_str(), 0, grey_alpha, 0, nullptr));

    PngPicture picture = read_png(folder.path("ga.png"));
    EXPECT_TRUE(picture.has_alpha);
    const uint8_t expected[] = {0, 0, 0, 255, 128, 128, 128, 64, 255, 255, 255, 0};
    EXPECT_EQ(picture.image.pixels, std::vector<uint8_t>(expected, expected + 12));
}

TEST(PngIoTest, SignatureSniffing)
{
    ScratchFolder folder;
    save_png(folder.path("real.png"), gradient(2, 2), false);
    EXPECT_TRUE(looks_like_png(folder.path("real.png")));
    EXPECT_FALSE(looks_like_png(folder.write("fake.png", "just some text, long enough")));
    EXPECT_FALSE(looks_like_png(folder.write("empty.png", "")));
    EXPECT_FALSE(looks_like_png(folder.path("missing.png")));
}

TEST(PngIoTest, BrokenInputsAreRefusedWithTheirName)
{
    ScratchFolder folder;
    save_png(folder.path("whole.png"), gradient(64, 64), false);
    std::string whole = ScratchFolder::read(folder.path("whole.png"));
    std::string truncated = folder.write("truncated.png", whole.substr(0, whole.size() / 2));
    std::string text = folder.write("text.png", "not a picture at all");

    auto missing = read_failure(folder.path("missing.png"));
    EXPECT_EQ(missing.first, kExitInput);
    EXPECT_NE(missing.second.find("cannot open '" + folder.path("missing.png") + "'"), std::string::npos);

    auto not_png = read_failure(text);
    EXPECT_EQ(not_png.first, kExitInput);
    EXPECT_NE(not_png.second.find("is not a readable PNG"), std::string::npos) << not_png.second;

    auto damaged = read_failure(truncated);
    EXPECT_EQ(damaged.first, kExitInput);
    EXPECT_NE(damaged.second.find("is damaged"), std::string::npos) << damaged.second;
}

TEST(PngIoTest, FailedSaveLeavesNothingBehind)
{
    ScratchFolder folder;
    try {
        save_png(folder.path("missing/out.png"), gradient(2, 2), false);
        ADD_FAILURE() << "saving into a missing folder succeeded";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.status(), kExitOutput);
    }
    EXPECT_TRUE(folder.names().empty());
}

TEST(PngIoTest, SixteenBitSamplesAreLinearOnlyWhenTheFileSaysSo)
{
    ScratchFolder folder;
    ASSERT_TRUE(velmo_upscale_test::write_grey16_png(folder.path("plain.png"), 3, 2, 0x8080));
    ASSERT_TRUE(velmo_upscale_test::write_grey16_png(folder.path("linear.png"), 3, 2, 0x8080, 1.0));
    PngPicture plain = read_png(folder.path("plain.png"));
    EXPECT_EQ(plain.image.at(2, 1)[0], 0x80);
    EXPECT_EQ(plain.image.at(2, 1)[3], 255);
    EXPECT_FALSE(plain.has_alpha);
    // Linear 0.5 in the sRGB-like encoding of 8-bit pictures is about 0xba.
    EXPECT_NEAR(read_png(folder.path("linear.png")).image.at(2, 1)[0], 0xba, 3);
}

// A header announcing far more rows than the file could hold is refused before the picture is
// allocated; a whole picture that deflate packs as tightly as it can is still read.
TEST(PngIoTest, HeaderAnnouncingMoreThanTheFileHoldsIsRefused)
{
    ScratchFolder folder;
    ASSERT_TRUE(write_png_start(folder.path("forged.png"), 16384, 16384, 4));
    auto forged = read_failure(folder.path("forged.png"));
    EXPECT_EQ(forged.first, kExitInput);
    EXPECT_NE(forged.second.find("cannot hold the 16384x16384 picture"), std::string::npos) << forged.second;

    ASSERT_TRUE(velmo_upscale_test::write_grey16_png(folder.path("black.png"), 2048, 2048, 0));
    EXPECT_EQ(read_png(folder.path("black.png")).image.width, 2048);
}
