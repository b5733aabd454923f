// The one-pass unsharp mask built from its exported texts and drawn on Mesa at the input's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "grf/GRFMath/Matrix.h"
#include "shaders/FixedPointTexture.h"
#include "shaders/QuadProgram.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "velmo/SrRenderCommon.h"

using namespace velmo_test;
using kx_velmo::SrRenderCommon;

namespace {

class UsmOnePassGLTest : public PlayerGLTest {
protected:
    // One blur step is one texel, so every tap lands on a texel centre and reads it exactly.
    RgbaImage sharpen(const RgbaImage& input, float sharpness)
    {
        QuadProgram program(SrRenderCommon::_s_usm_1pass_vertex_shader_src,
                            with_desktop_header(SrRenderCommon::_s_usm_1pass_fragment_shader_src));
        const auto texture = upload(input);
        const GRF::Matrix4x4<float> identity;
        program.call().put_uniform_mat4x4("texMat", identity, true);
        program.call().put_uniform_mat4x4("videoCrop", identity, true);
        program.call().put_uniform_float("texelWidthOffset", 1.0f / static_cast<float>(input.width));
        program.call().put_uniform_float("texelHeightOffset", 1.0f / static_cast<float>(input.height));
        program.call().put_uniform_float("sharpness", sharpness);
        program.set_texture("input_texture", texture.get(), 0);
        return program.draw(input.width, input.height);
    }
};

} // namespace

TEST_F(UsmOnePassGLTest, SharpnessZeroIsIdentityWithAlpha)
{
    const RgbaImage input = random_image(33, 21, 4);
    EXPECT_TRUE(images_match("usm1pass_identity", sharpen(input, 0.0f), input, ImageTolerance::exact()));
}

TEST_F(UsmOnePassGLTest, FlatColourIsUnchangedWhateverTheSharpness)
{
    RgbaImage flat(20, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            uint8_t* p = flat.at(x, y);
            p[0] = 200;
            p[1] = 31;
            p[2] = 97;
            p[3] = static_cast<uint8_t>(x * 12);
        }
    for (float sharpness : {3.0f, -0.7f})
        EXPECT_TRUE(images_match("usm1pass_flat", sharpen(flat, sharpness), flat, ImageTolerance::exact()))
            << "sharpness " << sharpness;
}

// Each pixel moves away from the mean of itself and its four neighbours (the edge texel stands in
// for a missing one); alpha passes through.
TEST_F(UsmOnePassGLTest, PushesAwayFromTheCrossMeanAndKeepsAlpha)
{
    const RgbaImage input = random_image(30, 18, 8);
    const FixedPointTexture texels(input);
    for (float sharpness : {1.5f, -0.5f}) {
        RgbaImage expected(input.width, input.height);
        for (int y = 0; y < input.height; ++y)
            for (int x = 0; x < input.width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const float centre = texels.texel(x, y, c) / 255.0f;
                    const float mean = 0.2f * (texels.texel(x - 1, y, c) + texels.texel(x, y, c) +
                                               texels.texel(x + 1, y, c) + texels.texel(x, y - 1, c) +
                                               texels.texel(x, y + 1, c)) /
                                       255.0f;
                    const float value = centre + sharpness * (centre - mean);
                    expected.at(x, y)[c] = static_cast<uint8_t>(std::lrint(std::clamp(value, 0.0f, 1.0f) * 255.0f));
                }
                expected.at(x, y)[3] = input.at(x, y)[3];
            }
        EXPECT_TRUE(images_match("usm1pass_formula", sharpen(input, sharpness), expected,
                                 ImageTolerance{1, 1.0, 0.1, true}))
            << "sharpness " << sharpness;
    }
}
