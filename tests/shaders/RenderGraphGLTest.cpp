// The render graph on Mesa: walk order, hand-over of outputs, texture ownership, retargeting, resizing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shaders/RecordingNode.h"
#include "support/PlayerGLTest.h"

using namespace velmo_test;
using GRF::GRF_RENDER_NODE_TARGET_SCREEN;

namespace {

const Fill kRed = {1.0f, 0.0f, 0.0f, 1.0f};
const Fill kGreen = {0.0f, 1.0f, 0.0f, 1.0f};

class RenderGraphGLTest : public PlayerGLTest {
protected:
    // The colour at (x, y) of a node's target, read through its canvas.
    static std::array<int, 4> pixel_of(GRF::GRFRenderNode& node, int width, int height, int x, int y)
    {
        RgbaImage image(width, height);
        EXPECT_EQ(node.read_pixel_rgba(0, 0, width, height, image.pixels.data()), 0);
        const uint8_t* p = image.at(x, y);
        return {p[0], p[1], p[2], p[3]};
    }

    static int output_name(const GRF::GRFRenderNode& child)
    {
        const GRF::GPUTexture* input = child.get_input_texture("input_texture");
        return input ? input->get_texture_id() : 0;
    }

    std::vector<std::string> _log;
};

const std::array<int, 4> kRedPixel = {255, 0, 0, 255};
const std::array<int, 4> kGreenPixel = {0, 255, 0, 255};

} // namespace

TEST_F(RenderGraphGLTest, ParentAndTwoChildrenWalkDepthFirstInAppendOrder)
{
    RecordingNode parent("parent", &_log, {kRed}, 8, 8);
    RecordingNode first("first", &_log, {}, 8, 8);
    RecordingNode second("second", &_log, {}, 8, 8);
    parent.append_node(&first);
    parent.append_node(&second);

    ASSERT_EQ(parent.init(), 0);
    EXPECT_TRUE(first.had_input_at_start());
    EXPECT_TRUE(second.had_input_at_start());
    ASSERT_NE(first.get_input_texture("input_texture"), nullptr);
    EXPECT_EQ(first.get_input_texture("input_texture"), second.get_input_texture("input_texture"));

    ASSERT_EQ(parent.render(), 0);
    // The children copy their input: they show the parent's colour only if it was drawn first.
    EXPECT_EQ(pixel_of(first, 8, 8, 3, 3), kRedPixel);
    EXPECT_EQ(pixel_of(second, 8, 8, 5, 6), kRedPixel);

    ASSERT_EQ(parent.uninit(), 0);
    const std::vector<std::string> expected = {
        "parent.start",  "first.start",    "second.start",    "parent.update", "first.update",
        "second.update", "first.destory", "second.destory", "parent.destory"};
    EXPECT_EQ(_log, expected);
}

TEST_F(RenderGraphGLTest, OwnTextureIsDeletedAtUninitAndCallersTextureSurvives)
{
    RecordingNode own("own", &_log, {kGreen}, 6, 4);
    RecordingNode observer("observer", &_log, {}, 6, 4);
    own.append_node(&observer);
    ASSERT_EQ(own.init(), 0);
    const GLuint own_name = static_cast<GLuint>(output_name(observer));
    ASSERT_TRUE(glIsTexture(own_name));
    own.uninit();
    EXPECT_FALSE(glIsTexture(own_name)) << "the node's own texture must go with uninit";

    const GLuint callers = create_empty_texture(6, 4);
    RecordingNode wrapping("wrapping", &_log, {kGreen}, 6, 4, GRF::GRF_RENDER_NODE_TARGET_TEXTURE,
                           static_cast<int>(callers));
    ASSERT_EQ(wrapping.init(), 0);
    wrapping.render();
    wrapping.uninit();
    ASSERT_TRUE(glIsTexture(callers)) << "a caller's texture must outlive the node";
    const RgbaImage drawn = read_texture(callers, 6, 4);
    EXPECT_EQ(drawn.at(5, 3)[1], 255);
    EXPECT_EQ(drawn.at(5, 3)[0], 0);
}

TEST_F(RenderGraphGLTest, SetTargetTexRedirectsTheOutputAndRegistersItWithChildren)
{
    RecordingNode node("node", &_log, {kRed}, 5, 3);
    RecordingNode child("child", &_log, {}, 5, 3);
    node.append_node(&child);
    const GLuint before_init = create_empty_texture(5, 3);
    EXPECT_EQ(node.set_target_tex(static_cast<int>(before_init)), 0) << "kept for init";
    ASSERT_EQ(node.init(), 0);
    EXPECT_EQ(output_name(child), static_cast<int>(before_init));

    const GRF::GPUTexture* registered = child.get_input_texture("input_texture");
    EXPECT_EQ(node.set_target_tex(static_cast<int>(before_init)), 0);
    EXPECT_EQ(child.get_input_texture("input_texture"), registered) << "the same name changes nothing";

    const GLuint other = create_empty_texture(2, 2);
    EXPECT_EQ(node.set_target_tex(static_cast<int>(other)), 0);
    EXPECT_EQ(output_name(child), static_cast<int>(other));
    node.render();
    const RgbaImage drawn = read_texture(other, 5, 3);
    EXPECT_EQ(drawn.at(4, 2)[0], 255) << "the new target is reallocated at the node's size and drawn into";
    EXPECT_EQ(pixel_of(child, 5, 3, 0, 0), kRedPixel) << "the child reads the new target";
    node.uninit();
    EXPECT_TRUE(glIsTexture(before_init));
    EXPECT_TRUE(glIsTexture(other));
}

TEST_F(RenderGraphGLTest, ResizingRebuildsOnceAndKeepsTheDrawCallsInOrder)
{
    RecordingNode node("node", &_log, {kRed, kGreen}, 4, 4);
    RecordingNode child("child", &_log, {}, 4, 4);
    node.append_node(&child);
    EXPECT_EQ(node.set_canvas_width_height(16, 8), -1) << "no canvas before init";
    ASSERT_EQ(node.init(), 0);

    ASSERT_EQ(node.set_canvas_width_height(16, 8), 0);
    node.render();
    // Red over everything, then green over the left half: the order survived the rebuild.
    EXPECT_EQ(pixel_of(node, 16, 8, 2, 5), kGreenPixel);
    EXPECT_EQ(pixel_of(node, 16, 8, 13, 5), kRedPixel);
    EXPECT_EQ(pixel_of(child, 4, 4, 0, 0), kGreenPixel) << "the child reads the new texture";

    // The same size again must not rebuild: a fresh target would have lost the drawn content.
    ASSERT_EQ(node.set_canvas_width_height(16, 8), 0);
    EXPECT_EQ(pixel_of(node, 16, 8, 13, 5), kRedPixel);
    node.uninit();
}

TEST_F(RenderGraphGLTest, ScreenNodeHasNoOutputForItsChildren)
{
    RecordingNode screen("screen", &_log, {kRed}, 4, 4, GRF_RENDER_NODE_TARGET_SCREEN, -1);
    RecordingNode child("child", &_log, {}, 4, 4);
    screen.append_node(&child);
    ASSERT_EQ(screen.init(), 0);
    EXPECT_FALSE(child.had_input_at_start());
    EXPECT_EQ(child.get_input_texture("input_texture"), nullptr);
    EXPECT_EQ(screen.set_target_tex(create_empty_texture(4, 4)), -1) << "a screen node has no texture to swap";
    EXPECT_EQ(child.get_input_texture("input_texture"), nullptr);
    screen.uninit();
}

TEST_F(RenderGraphGLTest, MisorderedCallsAreRefused)
{
    RecordingNode node("node", &_log, {kRed}, 4, 4);
    EXPECT_EQ(node.render(), -1) << "render before init";
    unsigned char pixel[4];
    EXPECT_EQ(node.read_pixel_rgba(0, 0, 1, 1, pixel), -1);
    ASSERT_EQ(node.init(), 0);
    EXPECT_EQ(node.init(), -1) << "a second init would leak the first canvas and draw calls";
    const std::vector<std::string> one_start = {"node.start"};
    EXPECT_EQ(_log, one_start);
    node.uninit();
}
