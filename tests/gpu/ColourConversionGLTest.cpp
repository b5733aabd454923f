// The colour-conversion and OES copy texts drawn on Mesa and checked against their formulas.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
// The extension header builds on the core header's definitions.
#include <GLES2/gl2ext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gpu/QuadPass.h"
#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "support/BilinearReference.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "velmo/SrRenderCommon.h"

using GRF::GPUTexture;
using GRF::GRFString;
using kx_velmo::SrRenderCommon;
using velmo_test::RgbaImage;

namespace {

// Within 1/255 of the formula, as the fixed-point target rounds.
const velmo_test::ImageTolerance kWithinOneStep{1, 1.0, 0.5, true};

uint8_t to_byte(double value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

std::vector<uint8_t> random_bytes(size_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<uint8_t>(rng() & 0xFF);
    return bytes;
}

// Full-range BT.601, rows R, G, B over columns Y, U, V.
GRF::Matrix3x3<float> bt601_full_range()
{
    const float rows[3][3] = {{1.0f, 0.0f, 1.402f}, {1.0f, -0.344136f, -0.714136f}, {1.0f, 1.772f, 0.0f}};
    GRF::Matrix3x3<float> m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m.set(i, j, rows[i][j]);
    return m;
}

class ColourConversionGLTest : public velmo_test::PlayerGLTest {
protected:
    // A texture of the library's own holding one plane: GL_R8 / GL_RED or GL_RG8 / GL_RG.
    static std::unique_ptr<GPUTexture> plane(std::vector<uint8_t>& bytes, int width, int height, int channels)
    {
        auto texture = std::make_unique<GPUTexture>(GRF::GPU_TEXTURE_2D, -1);
        texture->set_data_with_internal_format(bytes.data(), width, height, channels == 1 ? GL_R8 : GL_RG8,
                                               channels == 1 ? GL_RED : GL_RG, GL_UNSIGNED_BYTE);
        return texture;
    }

    // Builds the program from the copy vertex text and a header-less fragment text and draws it over
    // a width x height target. The caller sets samplers and uniforms through `prepare`, which runs
    // after the canvas is made: sizing the target rebinds texture units, so textures come last.
    template <typename Prepare>
    RgbaImage draw(const GRFString& fragment, int width, int height, Prepare prepare)
    {
        GPUTexture output(GRF::GPU_TEXTURE_2D, -1);
        GRF::GPUCanvasParam param;
        param.width = width;
        param.height = height;
        GRF::GPUCanvas canvas(param, &output);

        auto quad = velmo_test::make_quad();
        GRF::GPUDrawCall call(SrRenderCommon::_s_vertex_shader_src, velmo_test::with_desktop_header(fragment));
        call.set_vertex_array(quad.get());
        canvas.add_draw_call(&call);
        const GRF::Matrix4x4<float> identity;
        call.put_uniform_mat4x4(GRFString("texMat"), identity, true);
        call.put_uniform_mat4x4(GRFString("videoCrop"), identity, true);
        prepare(call);
        canvas.draw();
        return read_texture(static_cast<GLuint>(output.get_texture_id()), width, height);
    }
};

// White and black first, a grey next, random colours after.
RgbaImage test_colours(int width, int height)
{
    RgbaImage image = velmo_test::random_image(width, height, 31);
    const uint8_t fixed[3][4] = {{255, 255, 255, 255}, {0, 0, 0, 255}, {90, 90, 90, 7}};
    for (int i = 0; i < 3; ++i)
        std::memcpy(image.at(i, 0), fixed[i], 4);
    return image;
}

} // namespace

TEST_F(ColourConversionGLTest, RgbToLuma)
{
    const RgbaImage source = test_colours(11, 7);
    const GLuint input_name = create_texture(source);
    GPUTexture input(GRF::GPU_TEXTURE_2D, static_cast<int>(input_name));
    const RgbaImage drawn = draw(SrRenderCommon::_s_2d__rgb2y_fragment_shader_src, 11, 7, [&](GRF::GPUDrawCall& call) {
        call.put_uniform_texture(GRFString("inputImageTexture"), &input, 0);
    });

    RgbaImage expected(11, 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 11; ++x) {
            const uint8_t* rgb = source.at(x, y);
            const double luma = (0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]) / 255.0;
            const uint8_t pixel[] = {to_byte(luma), 255, 255, 255};
            std::memcpy(expected.at(x, y), pixel, 4);
        }
    }
    EXPECT_EQ(drawn.at(0, 0)[0], 255) << "white";
    EXPECT_EQ(drawn.at(1, 0)[0], 0) << "black";
    EXPECT_TRUE(velmo_test::images_match("rgb_to_luma", drawn, expected, kWithinOneStep));
}

TEST_F(ColourConversionGLTest, RgbToChroma)
{
    const RgbaImage source = test_colours(11, 7);
    const GLuint input_name = create_texture(source);
    GPUTexture input(GRF::GPU_TEXTURE_2D, static_cast<int>(input_name));
    const RgbaImage drawn = draw(SrRenderCommon::_s_2d__rgb2uv_fragment_shader_src, 11, 7, [&](GRF::GPUDrawCall& call) {
        call.put_uniform_texture(GRFString("inputImageTexture"), &input, 0);
    });

    RgbaImage expected(11, 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 11; ++x) {
            const uint8_t* c = source.at(x, y);
            const double r = c[0] / 255.0, g = c[1] / 255.0, b = c[2] / 255.0;
            const uint8_t pixel[] = {to_byte(-0.169 * r - 0.331 * g + 0.5 * b + 0.5),
                                     to_byte(0.5 * r - 0.419 * g - 0.081 * b + 0.5), 255, 255};
            std::memcpy(expected.at(x, y), pixel, 4);
        }
    }
    for (int grey = 0; grey < 3; ++grey) {
        EXPECT_NEAR(drawn.at(grey, 0)[0], 127.5, 0.5) << "grey has no chroma";
        EXPECT_NEAR(drawn.at(grey, 0)[1], 127.5, 0.5) << "grey has no chroma";
    }
    EXPECT_TRUE(velmo_test::images_match("rgb_to_chroma", drawn, expected, kWithinOneStep));
}

TEST_F(ColourConversionGLTest, ThreePlaneYuvToRgb)
{
    // Odd luma width and half-size chroma planes, which the sampler stretches over the frame.
    const int width = 11, height = 7, chroma_width = 6, chroma_height = 4;
    std::vector<uint8_t> y_bytes = random_bytes(width * height, 1);
    std::vector<uint8_t> u_bytes = random_bytes(chroma_width * chroma_height, 2);
    std::vector<uint8_t> v_bytes = random_bytes(chroma_width * chroma_height, 3);
    auto y_plane = plane(y_bytes, width, height, 1);
    auto u_plane = plane(u_bytes, chroma_width, chroma_height, 1);
    auto v_plane = plane(v_bytes, chroma_width, chroma_height, 1);
    const GRF::Matrix3x3<float> conversion = bt601_full_range();

    const RgbaImage drawn = draw(SrRenderCommon::_s_yuv420p_2d_fragment_shader_src, width, height,
                                 [&](GRF::GPUDrawCall& call) {
                                     call.put_uniform_mat3x3(GRFString("colorConversion"), conversion, true);
                                     call.put_uniform_texture(GRFString("inputImageTextureY"), y_plane.get(), 0);
                                     call.put_uniform_texture(GRFString("inputImageTextureU"), u_plane.get(), 1);
                                     call.put_uniform_texture(GRFString("inputImageTextureV"), v_plane.get(), 2);
                                 });

    const velmo_test::Texels8 u_texels{u_bytes.data(), chroma_width, chroma_height, 1};
    const velmo_test::Texels8 v_texels{v_bytes.data(), chroma_width, chroma_height, 1};
    RgbaImage expected(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float s = (x + 0.5f) / width;
            const float t = (y + 0.5f) / height;
            const double luma = y_bytes[static_cast<size_t>(y * width + x)] / 255.0;
            const double u = velmo_test::sample_linear(u_texels, 0, s, t) / 255.0 - 0.5;
            const double v = velmo_test::sample_linear(v_texels, 0, s, t) / 255.0 - 0.5;
            const uint8_t pixel[] = {to_byte(luma + 1.402 * v), to_byte(luma - 0.344136 * u - 0.714136 * v),
                                     to_byte(luma + 1.772 * u), 255};
            std::memcpy(expected.at(x, y), pixel, 4);
        }
    }
    EXPECT_TRUE(velmo_test::images_match("yuv420p_to_rgb", drawn, expected, kWithinOneStep));
}

TEST_F(ColourConversionGLTest, Nv12ToRgb)
{
    const int width = 12, height = 8, chroma_width = 6, chroma_height = 4;
    std::vector<uint8_t> y_bytes = random_bytes(width * height, 4);
    std::vector<uint8_t> uv_bytes = random_bytes(chroma_width * chroma_height * 2, 5);
    auto y_plane = plane(y_bytes, width, height, 1);
    auto uv_plane = plane(uv_bytes, chroma_width, chroma_height, 2);
    const velmo_test::Texels8 uv_texels{uv_bytes.data(), chroma_width, chroma_height, 2};

    // With the BT.601 matrix, then with the identity, which shows y, u - 0.5 and v - 0.5 as sampled.
    for (bool identity : {false, true}) {
        const GRF::Matrix3x3<float> conversion = identity ? GRF::Matrix3x3<float>() : bt601_full_range();
        const RgbaImage drawn = draw(SrRenderCommon::_s_nv12_2d_fragment_shader_src, width, height,
                                     [&](GRF::GPUDrawCall& call) {
                                         call.put_uniform_mat3x3(GRFString("colorConversion"), conversion, true);
                                         call.put_uniform_texture(GRFString("inputImageTextureY"), y_plane.get(), 0);
                                         call.put_uniform_texture(GRFString("inputImageTextureUV"), uv_plane.get(), 1);
                                     });
        RgbaImage expected(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float s = (x + 0.5f) / width;
                const float t = (y + 0.5f) / height;
                const double luma = y_bytes[static_cast<size_t>(y * width + x)] / 255.0;
                const double u = velmo_test::sample_linear(uv_texels, 0, s, t) / 255.0 - 0.5;
                const double v = velmo_test::sample_linear(uv_texels, 1, s, t) / 255.0 - 0.5;
                const uint8_t converted[] = {to_byte(luma + 1.402 * v), to_byte(luma - 0.344136 * u - 0.714136 * v),
                                             to_byte(luma + 1.772 * u), 255};
                const uint8_t as_sampled[] = {to_byte(luma), to_byte(u), to_byte(v), 255};
                std::memcpy(expected.at(x, y), identity ? as_sampled : converted, 4);
            }
        }
        EXPECT_TRUE(velmo_test::images_match(identity ? "nv12_identity" : "nv12_to_rgb", drawn, expected,
                                             kWithinOneStep));
    }
}

TEST_F(ColourConversionGLTest, OesCopyOfAnExternalImage)
{
    const std::string egl_extensions = eglQueryString(display(), EGL_EXTENSIONS);
    auto create_image = reinterpret_cast<PFNEGLCREATEIMAGEKHRPROC>(eglGetProcAddress("eglCreateImageKHR"));
    auto destroy_image = reinterpret_cast<PFNEGLDESTROYIMAGEKHRPROC>(eglGetProcAddress("eglDestroyImageKHR"));
    auto image_target =
        reinterpret_cast<PFNGLEGLIMAGETARGETTEXTURE2DOESPROC>(eglGetProcAddress("glEGLImageTargetTexture2DOES"));
    if (egl_extensions.find("EGL_KHR_gl_texture_2D_image") == std::string::npos || !create_image || !image_target)
        GTEST_SKIP() << "no EGLImage from GL textures on this driver";

    // An external texture as a camera or decoder hands it over: an EGLImage over a 2D texture.
    const RgbaImage source = velmo_test::random_image(9, 5, 12);
    const GLuint backing = create_texture(source);
    const EGLint attributes[] = {EGL_GL_TEXTURE_LEVEL_KHR, 0, EGL_NONE};
    EGLImageKHR image = create_image(display(), context(), EGL_GL_TEXTURE_2D_KHR,
                                     reinterpret_cast<EGLClientBuffer>(static_cast<uintptr_t>(backing)), attributes);
    ASSERT_NE(image, EGL_NO_IMAGE_KHR);
    GPUTexture external(GRF::GPU_TEXTURE_OES, -1);
    external.bind_texture();
    image_target(GL_TEXTURE_EXTERNAL_OES, static_cast<GLeglImageOES>(image));
    glBindTexture(GL_TEXTURE_EXTERNAL_OES, 0);

    const RgbaImage drawn = draw(SrRenderCommon::_s_oes_fragment_shader_src, 9, 5, [&](GRF::GPUDrawCall& call) {
        call.put_uniform_texture(GRFString("inputImageTextureOES"), &external, 0);
    });
    RgbaImage expected = source;
    for (size_t i = 3; i < expected.pixels.size(); i += 4)
        expected.pixels[i] = 255;
    EXPECT_TRUE(velmo_test::images_match("oes_copy", drawn, expected, velmo_test::ImageTolerance::exact()));
    destroy_image(display(), image);
}
