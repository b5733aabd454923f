// The copy pass drawn by hand, as the renderer's plain path draws it: the player's texture wrapped,
// the library's copy program over the quad, a canvas over a target texture, read back and compared.
#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "gpu/QuadPass.h"
#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFMath/GRF2DCrop.h"
#include "support/BilinearReference.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "velmo/SrRenderCommon.h"

using GRF::GRFString;
using GRF::Matrix4x4;
using kx_velmo::SrRenderCommon;
using velmo_test::RgbaImage;

namespace {

class CopyPassGLTest : public velmo_test::PlayerGLTest {
protected:
    // Draws the player's texture through the copy program into a new width x height texture,
    // cleared to transparent black first, and returns what the target holds.
    RgbaImage copy(GLuint player_texture, int width, int height, const Matrix4x4<float>& video_crop,
                   const Matrix4x4<float>& texture_matrix)
    {
        GRF::GPUTexture input(GRF::GPU_TEXTURE_2D, static_cast<int>(player_texture));
        GRF::GPUTexture output(GRF::GPU_TEXTURE_2D, -1);
        GRF::GPUCanvasParam param;
        param.width = width;
        param.height = height;
        for (float& channel : param.clear_color)
            channel = 0.0f;
        GRF::GPUCanvas canvas(param, &output);

        auto quad = velmo_test::make_quad();
        GRF::GPUDrawCall copy_call(SrRenderCommon::_s_vertex_shader_src,
                                   velmo_test::with_desktop_header(SrRenderCommon::_s_2d_fragment_shader_src));
        copy_call.set_vertex_array(quad.get());
        canvas.add_draw_call(&copy_call);

        copy_call.put_uniform_mat4x4(GRFString("texMat"), texture_matrix, true);
        copy_call.put_uniform_mat4x4(GRFString("videoCrop"), video_crop, true);
        copy_call.put_uniform_texture(GRFString("inputImageTexture"), &input, 0);
        canvas.draw();
        return read_texture(static_cast<GLuint>(output.get_texture_id()), width, height);
    }
};

RgbaImage opaque(RgbaImage image)
{
    for (size_t i = 3; i < image.pixels.size(); i += 4)
        image.pixels[i] = 255;
    return image;
}

// The content rectangle of a placement in canvas pixels, y measured down from the top edge.
struct Placement {
    double left;
    double top;
    double width;
    double height;
};

Placement expected_placement(double W, double H, double w, double h, int type)
{
    const double s = w / h;
    const double t = W / H;
    switch (type) {
    case GRF::GRF_CROP_STRETCH:
        return {0, 0, W, H};
    case GRF::GRF_CROP_FIT_CENTER:
        return s < t ? Placement{(W - s * H) / 2, 0, s * H, H} : Placement{0, (H - W / s) / 2, W, W / s};
    case GRF::GRF_CROP_FIT_END:
        return s < t ? Placement{W - s * H, 0, s * H, H} : Placement{0, H - W / s, W, W / s};
    case GRF::GRF_CROP_FIT_START:
        return s < t ? Placement{0, 0, s * H, H} : Placement{0, 0, W, W / s};
    case GRF::GRF_CROP_FILL_CENTER:
        return s > t ? Placement{(W - s * H) / 2, 0, s * H, H} : Placement{0, (H - W / s) / 2, W, W / s};
    default:
        // An unknown type on a new crop object keeps its identity matrices: a 1 x 1 pixel square.
        return {0, 0, 1, 1};
    }
}

} // namespace

TEST_F(CopyPassGLTest, StretchMatchesLlvmpipesBilinearFilterWithOpaqueAlpha)
{
    const RgbaImage source = velmo_test::random_image(13, 9, 7);
    const GLuint player_texture = create_texture(source);
    const Matrix4x4<float> identity;

    for (const auto& size : {std::pair<int, int>{29, 21}, {64, 64}, {7, 5}, {13, 9}}) {
        const std::string name = "copy_" + std::to_string(size.first) + "x" + std::to_string(size.second);
        const RgbaImage drawn = copy(player_texture, size.first, size.second, identity, identity);
        expect_player_current();
        EXPECT_TRUE(velmo_test::images_match(name, drawn,
                                             opaque(velmo_test::stretch_linear(source, size.first, size.second)),
                                             velmo_test::ImageTolerance::exact()));
    }
}

TEST_F(CopyPassGLTest, TextureMatrixMovesCoordinatesWithoutPerspectiveDivision)
{
    const RgbaImage source = velmo_test::random_image(10, 6, 8);
    const GLuint player_texture = create_texture(source);
    const Matrix4x4<float> identity;
    const RgbaImage straight = opaque(velmo_test::stretch_linear(source, 20, 12));

    // A last row other than (0, 0, 0, 1) changes nothing: only x and y of the product are used.
    Matrix4x4<float> heavy_w;
    heavy_w.set(3, 3, 4.0f);
    heavy_w.set(3, 0, 2.0f);
    EXPECT_TRUE(velmo_test::images_match("copy_no_division", copy(player_texture, 20, 12, identity, heavy_w), straight,
                                         velmo_test::ImageTolerance::exact()));

    // s -> 1 - s mirrors the picture left to right.
    Matrix4x4<float> mirror;
    mirror.set(0, 0, -1.0f);
    mirror.set(0, 3, 1.0f);
    RgbaImage mirrored(20, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            std::copy(straight.at(19 - x, y), straight.at(19 - x, y) + 4, mirrored.at(x, y));
    EXPECT_TRUE(velmo_test::images_match("copy_mirrored", copy(player_texture, 20, 12, identity, mirror), mirrored,
                                         velmo_test::ImageTolerance{1, 1.0, 0.1, true}));
}

TEST_F(CopyPassGLTest, CropPlacementsCoverTheComputedRectangle)
{
    const int W = 64;
    const int H = 36;
    const GLuint player_texture = create_texture(velmo_test::random_image(8, 8, 9));
    const Matrix4x4<float> identity;

    for (const auto& content : {std::pair<int, int>{36, 64}, {128, 36}, {32, 18}}) {
        for (int type : {0, 1, 2, 3, 4, 7}) {
            SCOPED_TRACE("content " + std::to_string(content.first) + "x" + std::to_string(content.second) + ", type " +
                         std::to_string(type));
            GRF::GRF2DCrop crop(static_cast<float>(W), static_cast<float>(H));
            const Matrix4x4<float> placement =
                crop.crop(static_cast<float>(content.first), static_cast<float>(content.second),
                          static_cast<GRF::GRFCropType>(type));
            const RgbaImage drawn = copy(player_texture, W, H, placement, identity);
            const Placement expected = expected_placement(W, H, content.first, content.second, type);

            int mismatches = 0;
            for (int y = 0; y < H; ++y) {
                // Rows are stored bottom first; the placement measures from the top edge.
                const double centre_y = H - (y + 0.5);
                for (int x = 0; x < W; ++x) {
                    const double centre_x = x + 0.5;
                    const double inside_x = std::min(centre_x - expected.left, expected.left + expected.width - centre_x);
                    const double inside_y = std::min(centre_y - expected.top, expected.top + expected.height - centre_y);
                    const double margin = std::min(inside_x, inside_y);
                    if (std::fabs(margin) < 1e-3)
                        continue;
                    const bool covered = drawn.at(x, y)[3] == 255;
                    if (covered != (margin > 0) && ++mismatches <= 3)
                        ADD_FAILURE() << "pixel " << x << "," << y << (covered ? " covered" : " not covered");
                }
            }
            EXPECT_EQ(mismatches, 0);
        }
    }
}
