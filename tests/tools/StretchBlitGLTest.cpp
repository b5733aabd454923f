// The player side on Mesa: texture upload and read-back (direct and through pixel buffers) are
// exact, and the stretch pass is the centre-aligned bilinear stretch a player would show, the
// right way up.
#include "StretchBlit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "client/GlTexture.h"
#include "client/PixelBufferReader.h"
#include "client/TextureReader.h"
#include "support/PlayerGLTest.h"

using namespace velmo_upscale;
using namespace velmo_client;

namespace {

RgbaImage from_test_image(const velmo_test::RgbaImage& source)
{
    RgbaImage image(source.width, source.height);
    image.pixels = source.pixels;
    return image;
}

// Bilinear sample positions at target pixel centres, clamped at the edges.
RgbaImage bilinear_reference(const RgbaImage& source, int width, int height)
{
    RgbaImage result(width, height);
    auto axis = [](int target, int size, int target_size, int& low, int& high, double& weight) {
        double position = (target + 0.5) * size / target_size - 0.5;
        position = std::clamp(position, 0.0, static_cast<double>(size - 1));
        low = static_cast<int>(std::floor(position));
        high = std::min(low + 1, size - 1);
        weight = position - low;
    };
    for (int y = 0; y < height; ++y) {
        int y0, y1;
        double wy;
        axis(y, source.height, height, y0, y1, wy);
        for (int x = 0; x < width; ++x) {
            int x0, x1;
            double wx;
            axis(x, source.width, width, x0, x1, wx);
            for (int c = 0; c < 4; ++c) {
                double top = source.at(x0, y0)[c] * (1 - wx) + source.at(x1, y0)[c] * wx;
                double bottom = source.at(x0, y1)[c] * (1 - wx) + source.at(x1, y1)[c] * wx;
                result.at(x, y)[c] = static_cast<uint8_t>(std::lround(top * (1 - wy) + bottom * wy));
            }
        }
    }
    return result;
}

class StretchBlitGLTest : public velmo_test::PlayerGLTest {
protected:
    // GL objects need the player's context, which exists only from SetUp on.
    void SetUp() override
    {
        PlayerGLTest::SetUp();
        reader_storage = std::make_unique<TextureReader>();
    }
    void TearDown() override
    {
        reader_storage.reset();
        PlayerGLTest::TearDown();
    }

    RgbaImage stretch(const RgbaImage& source, int width, int height)
    {
        GlTexture input;
        input.upload(source);
        GlTexture output;
        output.allocate(width, height);
        StretchBlit blit;
        blit.draw(input.name(), output.name(), width, height);
        RgbaImage result;
        EXPECT_TRUE(reader().read(output.name(), width, height, result));
        return result;
    }

    TextureReader& reader() { return *reader_storage; }
    std::unique_ptr<TextureReader> reader_storage;
};

} // namespace

TEST_F(StretchBlitGLTest, UploadAndReadBackAreExact)
{
    RgbaImage image = from_test_image(velmo_test::random_image(37, 23, 7));
    GlTexture texture;
    texture.upload(image);
    EXPECT_EQ(texture.width(), 37);
    RgbaImage back;
    ASSERT_TRUE(reader().read(texture.name(), 37, 23, back));
    EXPECT_EQ(back.pixels, image.pixels);
}

TEST_F(StretchBlitGLTest, SameSizeIsAnExactCopy)
{
    RgbaImage image = from_test_image(velmo_test::random_image(33, 17, 3));
    EXPECT_EQ(stretch(image, 33, 17).pixels, image.pixels);
}

TEST_F(StretchBlitGLTest, StretchMatchesBilinearReference)
{
    RgbaImage image = from_test_image(velmo_test::random_image(40, 24, 11));
    for (auto [width, height] : {std::pair{60, 36}, std::pair{80, 48}, std::pair{61, 37}}) {
        RgbaImage actual = stretch(image, width, height);
        RgbaImage expected = bilinear_reference(image, width, height);
        int worst = 0;
        double sum = 0;
        for (size_t i = 0; i < actual.pixels.size(); ++i) {
            int difference = std::abs(actual.pixels[i] - expected.pixels[i]);
            worst = std::max(worst, difference);
            sum += difference;
        }
        // llvmpipe blends with 8-bit weights, a few 1/255 off a float reference on random data.
        EXPECT_LE(worst, 4) << width << "x" << height;
        EXPECT_LT(sum / static_cast<double>(actual.pixels.size()), 0.6) << width << "x" << height;
    }
}

TEST_F(StretchBlitGLTest, ReadingANameThatIsNoTextureFails)
{
    RgbaImage result;
    EXPECT_FALSE(reader().read(123456, 4, 4, result));
}

// Copies come back oldest first, each at its own size and as the texture was when it was queued,
// however the texture changes afterwards; a third copy, an unreadable texture and a throwing
// user are refused or cleaned up without disturbing the copies that wait.
TEST_F(StretchBlitGLTest, PixelBuffersHandBackQueuedCopiesInOrder)
{
    RgbaImage first = from_test_image(velmo_test::random_image(37, 23, 5));
    RgbaImage second = from_test_image(velmo_test::random_image(16, 40, 6));
    GlTexture a, b;
    a.upload(first);
    b.upload(second);
    PixelBufferReader buffers;
    ASSERT_TRUE(buffers.start(a.name(), 37, 23));
    EXPECT_FALSE(buffers.start(123456, 4, 4));
    ASSERT_TRUE(buffers.start(b.name(), 16, 40));
    EXPECT_FALSE(buffers.start(a.name(), 37, 23));
    a.upload(from_test_image(velmo_test::random_image(37, 23, 9)));

    auto take = [&](RgbaImage& image) {
        return buffers.finish([&](const uint8_t* pixels, int width, int height) {
            image = RgbaImage(width, height);
            std::copy(pixels, pixels + image.pixels.size(), image.pixels.begin());
        });
    };
    RgbaImage back;
    ASSERT_TRUE(take(back));
    EXPECT_EQ(back.width, 37);
    EXPECT_EQ(back.pixels, first.pixels);
    EXPECT_THROW(buffers.finish([](const uint8_t*, int, int) { throw std::runtime_error("refused"); }),
                 std::runtime_error);
    EXPECT_FALSE(take(back));

    ASSERT_TRUE(buffers.start(b.name(), 16, 40));
    ASSERT_TRUE(take(back));
    EXPECT_EQ(back.height, 40);
    EXPECT_EQ(back.pixels, second.pixels);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
