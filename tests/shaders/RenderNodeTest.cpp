// The render-graph node's input table and its refusal to resize before init (no GL: nothing here
// makes a GL call).
#include <gtest/gtest.h>

#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPU/GRFRenderNode.h"

namespace {

class InertNode : public GRF::GRFRenderNode {
public:
    InertNode() : GRF::GRFRenderNode("inert", 4, 4, GRF::GRF_RENDER_NODE_TARGET_TEXTURE, -1) {}
    int start() override { return 0; }
    int update() override { return 0; }
    int destory() override { return 0; }
};

} // namespace

TEST(RenderNode, InputTableIsKeyedByNameAndDefaultsToTheGreatest)
{
    // Wrapping a name makes no GL call.
    GRF::GPUTexture a(GRF::GPU_TEXTURE_2D, 11), b(GRF::GPU_TEXTURE_2D, 12), c(GRF::GPU_TEXTURE_2D, 13);
    InertNode node;
    EXPECT_EQ(node.get_default_input_texture(), nullptr);
    node.add_input_texture("b", &b);
    node.add_input_texture("a", &a);
    EXPECT_EQ(node.get_default_input_texture(), &b);
    EXPECT_EQ(node.get_input_texture("a"), &a);
    EXPECT_EQ(node.get_input_texture("input_texture"), nullptr);

    node.add_input_texture("a", &c);
    EXPECT_EQ(node.get_input_texture("a"), &c) << "a second add replaces";
    node.remove_input_texture("b");
    node.remove_input_texture("absent");
    EXPECT_EQ(node.get_default_input_texture(), &c);
    node.clear_input_texture();
    EXPECT_EQ(node.get_default_input_texture(), nullptr);
}

TEST(RenderNode, ResizeBeforeInitIsRefused)
{
    InertNode node;
    EXPECT_EQ(node.set_canvas_width_height(8, 8), -1);
    EXPECT_EQ(node.set_canvas_width_height(4, 4), -1);
}
