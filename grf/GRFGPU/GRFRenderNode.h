// GRFRenderNode: the base of the render graph; a node draws into its own canvas and hands its output
// texture to its children as "input_texture".
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "grf/GRFExport.h"
#include "grf/GRFString.h"

namespace GRF {

class GPUCanvas;
class GPUDrawCall;
class GPUTexture;

// Where a node draws. Any value other than GRF_RENDER_NODE_TARGET_TEXTURE means the screen.
enum GRFRenderNodeTarget : int32_t {
    // Into the node's output texture, through a framebuffer its canvas creates.
    GRF_RENDER_NODE_TARGET_TEXTURE = 0,
    // Into framebuffer 0, the surface current in the context; the node has no output texture.
    GRF_RENDER_NODE_TARGET_SCREEN = 1,
};

// init(), render() and uninit() walk the node and then its children depth-first, in append order, so a
// child always sees its parent's finished output. A concrete node builds its geometry and draw calls in
// start(), sets its uniforms in update() before every draw and frees what start() built in destory().
// Children and input textures are borrowed: the node never deletes them. The output texture and the
// canvas are the node's, created by init() and deleted by uninit(); the destructor does not free them
// because GL objects can only be deleted with the node's context current, so uninit() must run first.
// All operations need a current OpenGL ES 3 context.
class GRF_EXPORT GRFRenderNode {
public:
    // texture_id > 0 names a caller-owned texture to draw into (wrapped, never deleted); any other value
    // makes the node create its own width x height RGBA texture at init(). No GL call.
    GRFRenderNode(const GRFString& name, int width, int height, GRFRenderNodeTarget target, int texture_id);
    virtual ~GRFRenderNode();

    GRFRenderNode(const GRFRenderNode&) = delete;
    GRFRenderNode& operator=(const GRFRenderNode&) = delete;

    virtual int start() = 0;
    virtual int update() = 0;
    virtual int destory() = 0;

    // No check for duplicates or cycles.
    int append_node(GRFRenderNode* child);

    // Inserts, or replaces the texture of an existing name.
    int add_input_texture(const GRFString& name, GPUTexture* texture);
    int remove_input_texture(const GRFString& name);
    // Null when absent.
    GPUTexture* get_input_texture(const GRFString& name) const;
    // The texture of the greatest name, or null without inputs; with the usual single entry
    // "input_texture" that is the one input.
    GPUTexture* get_default_input_texture() const;
    int clear_input_texture();

    // Output texture, canvas, start(), then each child after registering this node's output with it.
    // Returns 0; -1 (logged, nothing changed) when the node is already initialised.
    int init();
    // update(), the canvas's draw, then each child's render(). Returns 0; -1 (logged) before init().
    int render();
    // Each child's uninit(), destory(), then the canvas and the output texture. Returns 0.
    int uninit();

    // Draws into another texture from now on (texture_id <= 0: a new texture of the node's own) and
    // hands it to the children. The canvas reallocates it at the node's size, so a wrapped caller
    // texture gets new width x height RGBA storage. Before init() only the name is kept, for init() to
    // use. Returns 0; -1 (logged, nothing changed) for a node that draws to the screen.
    int set_target_tex(int texture_id);

    // Rebuilds the canvas and the output texture at the new size, keeping the draw calls in order, and
    // hands the new texture to the children (which are not resized). Returns 0 (also when the size is
    // unchanged, without any work); -1 before init().
    int set_canvas_width_height(int width, int height);

    // The canvas's read-back. Returns -1 (logged) before init().
    int read_pixel_rgba(int x, int y, int width, int height, unsigned char* data);

    // Adds a draw call to the canvas; valid from start() on (logged and ignored before).
    void add_draw_call(GPUDrawCall* call);

protected:
    // All inputs in ascending order of name; nodes that bind every input use the names as samplers.
    const std::map<GRFString, GPUTexture*>& input_textures() const { return _input_textures; }

private:
    void make_output_texture();
    void make_canvas();
    void register_output_with_children();

    std::vector<GRFRenderNode*> _children;
    GRFString _name;
    GRFRenderNodeTarget _target;
    int32_t _texture_id;
    std::map<GRFString, GPUTexture*> _input_textures;
    GPUTexture* _output_texture;
    GPUCanvas* _canvas;
    int32_t _width;
    int32_t _height;
};

} // namespace GRF
