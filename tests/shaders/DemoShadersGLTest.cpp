// GRFMagicData's demo programs on Mesa: every pair compiles and links; the camera tone curve, its
// sigmoid variant, the colour blend and the animated pattern behave as documented.
#include <gtest/gtest.h>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "grf/GRFGPU/GPUProgram.h"
#include "grf/GRFGPU/GPUShader.h"
#include "grf/GRFGPU/GRFMagicData.h"
#include "grf/GRFMath/Matrix.h"
#include "shaders/QuadProgram.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"

using namespace velmo_test;
namespace demo = GRF::GRFMagicData;

namespace {

struct DemoPair {
    const char* name;
    const GRF::GRFString& vertex;
    const GRF::GRFString& fragment;
};

// An external (OES) texture over an EGLImage of a 2D texture, as a camera hands its frames over.
class ExternalImage {
public:
    ExternalImage(EGLDisplay display, EGLContext context, GLuint backing) : _display(display)
    {
        const std::string extensions = eglQueryString(display, EGL_EXTENSIONS);
        auto create_image = reinterpret_cast<PFNEGLCREATEIMAGEKHRPROC>(eglGetProcAddress("eglCreateImageKHR"));
        auto image_target =
            reinterpret_cast<PFNGLEGLIMAGETARGETTEXTURE2DOESPROC>(eglGetProcAddress("glEGLImageTargetTexture2DOES"));
        if (extensions.find("EGL_KHR_gl_texture_2D_image") == std::string::npos || !create_image || !image_target)
            return;
        const EGLint attributes[] = {EGL_GL_TEXTURE_LEVEL_KHR, 0, EGL_NONE};
        _image = create_image(display, context, EGL_GL_TEXTURE_2D_KHR,
                              reinterpret_cast<EGLClientBuffer>(static_cast<uintptr_t>(backing)), attributes);
        if (_image == EGL_NO_IMAGE_KHR)
            return;
        _texture = std::make_unique<GRF::GPUTexture>(GRF::GPU_TEXTURE_OES, -1);
        _texture->bind_texture();
        image_target(GL_TEXTURE_EXTERNAL_OES, static_cast<GLeglImageOES>(_image));
        glBindTexture(GL_TEXTURE_EXTERNAL_OES, 0);
    }

    ~ExternalImage()
    {
        _texture.reset();
        auto destroy_image = reinterpret_cast<PFNEGLDESTROYIMAGEKHRPROC>(eglGetProcAddress("eglDestroyImageKHR"));
        if (_image != EGL_NO_IMAGE_KHR && destroy_image)
            destroy_image(_display, _image);
    }

    GRF::GPUTexture* texture() const { return _texture.get(); }

private:
    EGLDisplay _display;
    EGLImageKHR _image = EGL_NO_IMAGE_KHR;
    std::unique_ptr<GRF::GPUTexture> _texture;
};

class DemoShadersGLTest : public PlayerGLTest {
protected:
    // Draws a camera text over a 256 x 1 ramp whose red channel is the texel's column, green the
    // mirrored column; returns the output row.
    RgbaImage draw_camera(const GRF::GRFString& fragment, int is_hdr, const GRF::Matrix3x3<float>& rgb_to_yuv,
                          const GRF::Matrix3x3<float>& yuv_to_rgb)
    {
        RgbaImage ramp(256, 1);
        for (int x = 0; x < 256; ++x) {
            uint8_t* p = ramp.at(x, 0);
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(255 - x);
            p[2] = 255;
            p[3] = 255;
        }
        const GLuint backing = create_texture(ramp);
        ExternalImage external(display(), context(), backing);
        if (!external.texture()) {
            ADD_FAILURE() << "no EGLImage from GL textures on this driver";
            return ramp;
        }
        QuadProgram program(demo::android_camera_vertex_shader_src, fragment);
        const GRF::Matrix4x4<float> identity;
        program.call().put_uniform_mat4x4("cameraCoor", identity, true);
        program.call().put_uniform_int("isHDR", is_hdr);
        program.call().put_uniform_mat3x3("mat3_rgb_2_yuv_709", rgb_to_yuv, true);
        program.call().put_uniform_mat3x3("mat3_yuv_2_rgb_709", yuv_to_rgb, true);
        program.set_texture("cameraTexture", external.texture(), 0);
        const RgbaImage out = program.draw(256, 1);
        glDeleteTextures(1, &backing);
        return out;
    }

    static GRF::Matrix3x3<float> scale_first(float factor)
    {
        GRF::Matrix3x3<float> m;
        m.set(0, 0, factor);
        return m;
    }
};

bool compiled(const GRF::GPUShader& shader)
{
    GLint status = GL_FALSE;
    glGetShaderiv(static_cast<GLuint>(shader.get_shader_id()), GL_COMPILE_STATUS, &status);
    return status == GL_TRUE;
}

} // namespace

TEST_F(DemoShadersGLTest, EveryPairCompilesAndLinks)
{
    const DemoPair pairs[] = {
        {"cube", demo::cube_vertex_shader_src, demo::cube_fragment_shader_src},
        {"fractal", demo::fractal_vertex_shader_src, demo::fractal_fragment_shader_src},
        {"camera", demo::android_camera_vertex_shader_src, demo::android_camera_fragment_shader_src},
        {"camera_sigmoid", demo::android_camera_vertex_shader_src, demo::android_camera_fragment_shader_src_sigmoid},
        {"crop", demo::crop_surface_vertex_shader_src, demo::crop_surface_fragment_shader_src},
        {"colorblend", demo::colorblend_filter_vertex_shader_src, demo::colorblend_filter_fragment_shader_src},
        {"bilateral", demo::bilateral_filter_vertex_shader_src, demo::bilateral_filter_fragment_shader_src},
    };
    for (const DemoPair& pair : pairs) {
        SCOPED_TRACE(pair.name);
        EXPECT_EQ(std::string(pair.vertex.c_str()).rfind("#version 330\n", 0), 0u);
        EXPECT_EQ(std::string(pair.fragment.c_str()).rfind("#version 330\n", 0), 0u);
        GRF::GPUShader vertex(pair.vertex, GRF::GPU_SHADER_VERTEX);
        GRF::GPUShader fragment(pair.fragment, GRF::GPU_SHADER_FRAGMENT);
        vertex.compile();
        fragment.compile();
        EXPECT_TRUE(compiled(vertex));
        EXPECT_TRUE(compiled(fragment));
        GRF::GPUProgram program;
        program.attach_shader(&vertex);
        program.attach_shader(&fragment);
        program.link_program();
        GLint linked = GL_FALSE;
        glGetProgramiv(static_cast<GLuint>(program.get_program_id()), GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
    }
}

// With identity matrices the red channel is the luma: the curve maps 0 to 0 and 1 to 1, leaves the
// band between 0.5 and 0.75 alone and joins it without a jump; chroma (here green) is untouched.
TEST_F(DemoShadersGLTest, CameraToneCurveIsContinuousAtItsThresholds)
{
    const GRF::Matrix3x3<float> identity;
    const RgbaImage off = draw_camera(demo::android_camera_fragment_shader_src, 0, identity, identity);
    const RgbaImage curve = draw_camera(demo::android_camera_fragment_shader_src, 1, identity, identity);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(off.at(x, 0)[0], x) << "isHDR 0 passes the colour through";
        EXPECT_EQ(curve.at(x, 0)[1], 255 - x) << "chroma is kept";
        EXPECT_EQ(curve.at(x, 0)[3], 255);
    }
    EXPECT_EQ(curve.at(0, 0)[0], 0);
    EXPECT_EQ(curve.at(255, 0)[0], 255);
    for (int x = 128; x <= 191; ++x)
        EXPECT_EQ(curve.at(x, 0)[0], x) << "between the thresholds y is unchanged";
    for (int x = 110; x < 210; ++x) {
        EXPECT_GE(curve.at(x + 1, 0)[0], curve.at(x, 0)[0]) << "monotonic at " << x;
        EXPECT_LE(curve.at(x + 1, 0)[0] - curve.at(x, 0)[0], 2) << "no jump at " << x;
    }
    EXPECT_GT(curve.at(64, 0)[0], 64) << "shadows are lifted";

    // Exactly on the thresholds: red 1.0 scaled to a luma of 0.5 and of 0.75, rebuilt at half scale.
    const RgbaImage half = draw_camera(demo::android_camera_fragment_shader_src, 1, scale_first(0.5f), scale_first(0.5f));
    EXPECT_EQ(half.at(255, 0)[0], 64) << "0.5 maps to itself (0.25 after the half-scale rebuild)";
    const RgbaImage three_quarters =
        draw_camera(demo::android_camera_fragment_shader_src, 1, scale_first(0.75f), scale_first(0.5f));
    EXPECT_EQ(three_quarters.at(255, 0)[0], 96) << "0.75 maps to itself (0.375 after the half-scale rebuild)";
}

TEST_F(DemoShadersGLTest, SigmoidIsSymmetricAboutOneHalf)
{
    const GRF::Matrix3x3<float> identity;
    const RgbaImage off = draw_camera(demo::android_camera_fragment_shader_src_sigmoid, 0, identity, identity);
    const RgbaImage sigmoid = draw_camera(demo::android_camera_fragment_shader_src_sigmoid, 1, identity, identity);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(off.at(x, 0)[0], x);
        // Red runs up the ramp and green down it, so they meet x and 1 - x at the same pixel.
        EXPECT_NEAR(sigmoid.at(x, 0)[0] + sigmoid.at(x, 0)[1], 255, 1) << "f(x) + f(1 - x) = 1 at " << x;
        EXPECT_EQ(sigmoid.at(x, 0)[3], 255);
    }
    EXPECT_NEAR(sigmoid.at(127, 0)[0], 127, 1) << "f(0.5) = 0.5";
    EXPECT_NEAR(sigmoid.at(0, 0)[0], 8, 1) << "1 / (1 + e^3.5)";
}

// Two opaque images: 1 where the channels add up to 1 or more, their sum elsewhere; alpha 1.
TEST_F(DemoShadersGLTest, ColourBlendOfOpaqueImagesSaturates)
{
    RgbaImage base = random_image(16, 16, 41), overlay = random_image(16, 16, 42);
    for (size_t i = 3; i < base.pixels.size(); i += 4)
        base.pixels[i] = overlay.pixels[i] = 255;
    const auto base_texture = upload(base), overlay_texture = upload(overlay);
    QuadProgram program(demo::colorblend_filter_vertex_shader_src, demo::colorblend_filter_fragment_shader_src, true);
    program.set_texture("input_texture", base_texture.get(), 0);
    program.set_texture("input_texture2", overlay_texture.get(), 1);
    RgbaImage expected = base;
    for (size_t i = 0; i < expected.pixels.size(); ++i)
        expected.pixels[i] = static_cast<uint8_t>(std::min(255, base.pixels[i] + overlay.pixels[i]));
    EXPECT_TRUE(images_match("colorblend", program.draw(16, 16), expected, ImageTolerance{1, 1.0, 0.5, true}));
}

TEST_F(DemoShadersGLTest, AnimatedPatternCarriesTimeInAlpha)
{
    QuadProgram program(demo::fractal_vertex_shader_src, demo::fractal_fragment_shader_src);
    program.call().put_uniform_float("width", 32.0f);
    program.call().put_uniform_float("height", 16.0f);
    program.call().put_uniform_float("iTime", 5.0f);
    const RgbaImage frame = program.draw(32, 16);
    program.call().put_uniform_float("iTime", 6.0f);
    const RgbaImage later = program.draw(32, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_NEAR(frame.at(x, y)[3], 128, 1) << "t = iTime * 0.1 = 0.5";
    EXPECT_FALSE(images_match("pattern_moves", later, frame, ImageTolerance{2, 1.0, 1.0, false}));
}
