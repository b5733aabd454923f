// GPUTexture on Mesa: ownership of created and wrapped names, sampling parameters, uploads and read-back.
#include "grf/GRFGPU/GPUTexture.h"

#include <GLES3/gl31.h>
// The extension header builds on the core header's definitions.
#include <GLES2/gl2ext.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gpu/QuadPass.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "support/StderrCapture.h"

using GRF::GPUTexture;
using velmo_test::gl_integer;
using velmo_test::RgbaImage;

namespace {

class GPUTextureGLTest : public velmo_test::PlayerGLTest {
protected:
    // Sampling parameters of `name` as seen through `target`.
    static GLint parameter(GLenum target, GLuint name, GLenum parameter)
    {
        glBindTexture(target, name);
        GLint value = 0;
        glGetTexParameteriv(target, parameter, &value);
        glBindTexture(target, 0);
        return value;
    }

    static GLint level0(GLuint name, GLenum what)
    {
        glBindTexture(GL_TEXTURE_2D, name);
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }

    // A framebuffer of the test's own with `texture` as colour attachment, bound for reading.
    GLuint bind_framebuffer_over(GLuint texture)
    {
        GLuint framebuffer = 0;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
        return framebuffer;
    }
};

} // namespace

TEST_F(GPUTextureGLTest, CreatedTextureIsOwnedLoggedAndDeleted)
{
    velmo_test::StderrCapture capture;
    auto texture = std::make_unique<GPUTexture>(GRF::GPU_TEXTURE_2D, -1);
    const std::string log = capture.finish();

    const GLuint name = static_cast<GLuint>(texture->get_texture_id());
    ASSERT_NE(name, 0u);
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(log.rfind("[GPUTexture.cpp(", 0), 0u) << log;
    EXPECT_NE(log.find(")] GPUTexture gl gen texture status: 0x3000, texture_id: " + std::to_string(name) + "\n"),
              std::string::npos)
        << log;

    EXPECT_EQ(parameter(GL_TEXTURE_2D, name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, name, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, name, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, name, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);

    texture.reset();
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(GPUTextureGLTest, WrappedNameSurvivesTheWrapper)
{
    const RgbaImage image = velmo_test::random_image(6, 4, 11);
    const GLuint player_texture = create_texture(image);
    const GLuint other = create_empty_texture(2, 2);
    glBindTexture(GL_TEXTURE_2D, other);

    auto wrapper = std::make_unique<GPUTexture>(GRF::GPU_TEXTURE_2D, static_cast<int>(player_texture));
    EXPECT_EQ(wrapper->get_texture_id(), static_cast<int>(player_texture));
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(other)) << "wrapping makes no GL call";
    wrapper.reset();

    ASSERT_TRUE(glIsTexture(player_texture));
    EXPECT_TRUE(velmo_test::images_match("wrapped_survives", read_texture(player_texture, 6, 4), image,
                                         velmo_test::ImageTolerance::exact()));
}

TEST_F(GPUTextureGLTest, OnlyMinusOneCreates)
{
    {
        velmo_test::StderrCapture capture;
        GPUTexture zero(GRF::GPU_TEXTURE_2D, 0);
        EXPECT_EQ(zero.get_texture_id(), 0);
        EXPECT_EQ(capture.finish(), "") << "wrapping logs nothing";
    }
    GPUTexture wrapped_unknown(GRF::GPU_TEXTURE_OES, 4242);
    EXPECT_EQ(wrapped_unknown.get_texture_id(), 4242);
    EXPECT_FALSE(glIsTexture(4242));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GPUTextureGLTest, OesTextureHasExternalTargetAndClampedLinearSampling)
{
    GPUTexture texture(GRF::GPU_TEXTURE_OES, -1);
    const GLuint name = static_cast<GLuint>(texture.get_texture_id());
    ASSERT_TRUE(glIsTexture(name));
    while (glGetError() != GL_NO_ERROR) {
    }
    EXPECT_EQ(parameter(GL_TEXTURE_EXTERNAL_OES, name, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_EXTERNAL_OES, name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_EXTERNAL_OES, name, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_EXTERNAL_OES, name, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_EXTERNAL_OES), 0);

    // A texture name keeps the target it was first bound to.
    glBindTexture(GL_TEXTURE_2D, name);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_OPERATION));
}

TEST_F(GPUTextureGLTest, UnknownTypeMeans2D)
{
    GPUTexture texture(static_cast<GRF::GPUTextureType>(7), -1);
    const GLuint name = static_cast<GLuint>(texture.get_texture_id());
    while (glGetError() != GL_NO_ERROR) {
    }
    EXPECT_EQ(parameter(GL_TEXTURE_2D, name, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GPUTextureGLTest, UploadsSizeLevelZeroAndLeaveNothingBound)
{
    GPUTexture texture(GRF::GPU_TEXTURE_2D, -1);
    const GLuint name = static_cast<GLuint>(texture.get_texture_id());

    EXPECT_EQ(texture.set_data_RGBA(nullptr, 3, 5), 0);
    EXPECT_EQ(level0(name, GL_TEXTURE_WIDTH), 3);
    EXPECT_EQ(level0(name, GL_TEXTURE_HEIGHT), 5);
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), 0);

    const RgbaImage image = velmo_test::random_image(6, 2, 3);
    std::vector<uint8_t> pixels = image.pixels;
    EXPECT_EQ(texture.set_data(pixels.data(), 6, 2, GL_RGBA, GL_UNSIGNED_BYTE), 0);
    EXPECT_EQ(level0(name, GL_TEXTURE_WIDTH), 6);
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), 0);
    EXPECT_TRUE(velmo_test::images_match("resized_upload", read_texture(name, 6, 2), image,
                                         velmo_test::ImageTolerance::exact()));

    EXPECT_EQ(texture.bind_texture(), 0);
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(name)) << "bind_texture leaves it bound";
}

TEST_F(GPUTextureGLTest, OddWidthRgbUploadIsTightlyPacked)
{
    // Rows of 5 RGB pixels are 15 bytes: with the context's default alignment of 4 GL would read
    // 16-byte rows, shift every row after the first and read past the end of the buffer.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const int width = 5;
    const int height = 3;
    const RgbaImage source = velmo_test::random_image(width, height, 9);
    std::vector<uint8_t> rgb;
    RgbaImage expected = source;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgb.insert(rgb.end(), source.at(x, y), source.at(x, y) + 3);
            expected.at(x, y)[3] = 255;
        }
    }

    GPUTexture texture(GRF::GPU_TEXTURE_2D, -1);
    texture.set_data_with_internal_format(rgb.data(), width, height, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE);
    EXPECT_EQ(gl_integer(GL_UNPACK_ALIGNMENT), 1);
    EXPECT_TRUE(velmo_test::images_match("odd_width_rgb", read_texture(static_cast<GLuint>(texture.get_texture_id()),
                                                                       width, height),
                                         expected, velmo_test::ImageTolerance::exact()));
}

TEST_F(GPUTextureGLTest, GetDataReadsTheBoundFramebufferTightlyPacked)
{
    const RgbaImage image = velmo_test::random_image(7, 3, 21);
    const GLuint held = create_texture(image);
    const GLuint framebuffer = bind_framebuffer_over(held);
    GPUTexture wrapper(GRF::GPU_TEXTURE_2D, static_cast<int>(held));

    RgbaImage read(7, 3);
    EXPECT_EQ(wrapper.get_data_RGBA(read.pixels.data(), 0, 0, 7, 3), 0);
    EXPECT_TRUE(velmo_test::images_match("get_data_rgba", read, image, velmo_test::ImageTolerance::exact()));
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), 0);

    // A one-byte format at odd width: 5-byte rows, which alignment 4 would pad to 8.
    GPUTexture plane(GRF::GPU_TEXTURE_2D, -1);
    const std::vector<uint8_t> red = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150};
    std::vector<uint8_t> upload = red;
    plane.set_data_with_internal_format(upload.data(), 5, 3, GL_R8, GL_RED, GL_UNSIGNED_BYTE);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           static_cast<GLuint>(plane.get_texture_id()), 0);
    ASSERT_EQ(gl_integer(GL_IMPLEMENTATION_COLOR_READ_FORMAT), GL_RED);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    std::vector<uint8_t> back(red.size() + 8, 0xEE);
    EXPECT_EQ(plane.get_data(back.data(), 0, 0, 5, 3, GL_RED, GL_UNSIGNED_BYTE), 0);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 15), red);
    EXPECT_EQ(std::vector<uint8_t>(back.begin() + 15, back.end()), std::vector<uint8_t>(8, 0xEE));
    EXPECT_EQ(gl_integer(GL_PACK_ALIGNMENT), 1);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
}

TEST_F(GPUTextureGLTest, GetDataRefusesANullBuffer)
{
    GPUTexture texture(GRF::GPU_TEXTURE_2D, -1);
    velmo_test::StderrCapture capture;
    EXPECT_EQ(texture.get_data_RGBA(nullptr, 0, 0, 4, 4), -1);
    EXPECT_NE(capture.finish().find("no destination buffer"), std::string::npos);
}
