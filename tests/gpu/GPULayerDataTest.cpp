// Data of the GPU layer that needs no context: canvas parameter defaults and the geometry tables.
#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

#include "grf/GRFGPU/GPUCanvasParam.h"
#include "grf/GRFGPU/GRFMagicData.h"

namespace data = GRF::GRFMagicData;

TEST(GPUCanvasParam, DefaultsAreZeroSizedOpaqueWhiteRgba)
{
    const GRF::GPUCanvasParam param;
    EXPECT_EQ(param.x, 0);
    EXPECT_EQ(param.y, 0);
    EXPECT_EQ(param.width, 0);
    EXPECT_EQ(param.height, 0);
    for (float channel : param.clear_color)
        EXPECT_EQ(channel, 1.0f);
    EXPECT_EQ(param.fbo_id, 0u);
    EXPECT_EQ(param.internal_format, GL_RGBA);
    EXPECT_EQ(param.format, GL_RGBA);
    EXPECT_EQ(param.type, GL_UNSIGNED_BYTE);
}

TEST(GRFMagicData, QuadPairsClipCornersWithTextureCorners)
{
    ASSERT_EQ(sizeof(data::plane_vertex), 48u);
    ASSERT_EQ(sizeof(data::plane_coor), 48u);
    ASSERT_EQ(sizeof(data::plane_vertex_index), 24u);
    for (int v = 0; v < 4; ++v) {
        const float* position = &data::plane_vertex[v * 3];
        const float* coordinate = &data::plane_coor[v * 3];
        EXPECT_EQ(std::fabs(position[0]), 1.0f);
        EXPECT_EQ(std::fabs(position[1]), 1.0f);
        EXPECT_EQ(position[2], 0.0f);
        // (-1, -1) is (0, 0), (1, 1) is (1, 1): t grows upwards with y.
        EXPECT_EQ(coordinate[0], (position[0] + 1.0f) / 2.0f) << "vertex " << v;
        EXPECT_EQ(coordinate[1], (position[1] + 1.0f) / 2.0f) << "vertex " << v;
        EXPECT_EQ(coordinate[2], 0.0f);
    }
    const std::array<unsigned int, 6> indices = {0, 1, 2, 0, 2, 3};
    EXPECT_TRUE(std::equal(indices.begin(), indices.end(), data::plane_vertex_index));
}

TEST(GRFMagicData, CubeFacesAreUnitSquaresInOrder)
{
    ASSERT_EQ(sizeof(data::cube_vertex), 432u);
    ASSERT_EQ(sizeof(data::cube_coor), 432u);
    ASSERT_EQ(sizeof(data::cube_vertex_index), 144u);
    // Face f lies in the plane axis[f] = side[f].
    const int axis[6] = {2, 2, 0, 0, 1, 1};
    const float side[6] = {-0.5f, 0.5f, -0.5f, 0.5f, -0.5f, 0.5f};
    const float first_face[18] = {-0.5f, -0.5f, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f,
                                  0.5f,  0.5f,  -0.5f, -0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f};
    EXPECT_TRUE(std::equal(first_face, first_face + 18, data::cube_vertex));

    for (int face = 0; face < 6; ++face) {
        std::set<std::array<float, 3>> corners;
        for (int k = 0; k < 6; ++k) {
            const int vertex = face * 6 + k;
            const float* p = &data::cube_vertex[vertex * 3];
            EXPECT_EQ(p[axis[face]], side[face]) << "vertex " << vertex;
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(std::fabs(p[c]), 0.5f);
            corners.insert({p[0], p[1], p[2]});
            EXPECT_EQ(data::cube_vertex_index[vertex], static_cast<unsigned int>(vertex));
        }
        EXPECT_EQ(corners.size(), 4u) << "face " << face;
        // first, second, third, third, fourth, first.
        const float* f = &data::cube_vertex[face * 18];
        EXPECT_TRUE(std::equal(f + 6, f + 9, f + 9)) << "face " << face;
        EXPECT_TRUE(std::equal(f, f + 3, f + 15)) << "face " << face;

        const float square[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
        const float* t = &data::cube_coor[face * 18];
        const int corner_of[6] = {0, 1, 2, 2, 3, 0};
        for (int k = 0; k < 6; ++k)
            EXPECT_TRUE(std::equal(square + corner_of[k] * 3, square + corner_of[k] * 3 + 3, t + k * 3))
                << "face " << face << " vertex " << k;
    }
}
