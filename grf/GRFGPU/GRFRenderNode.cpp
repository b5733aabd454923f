// GRFRenderNode: output texture and canvas management, depth-first init/render/uninit, retargeting.
#include "grf/GRFGPU/GRFRenderNode.h"

#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUCanvasParam.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFLog.h"

namespace GRF {

namespace {

const char* const kChildInputName = "input_texture";

} // namespace

GRFRenderNode::GRFRenderNode(const GRFString& name, int width, int height, GRFRenderNodeTarget target,
                             int texture_id)
    : _name(name),
      _target(target),
      _texture_id(texture_id),
      _output_texture(nullptr),
      _canvas(nullptr),
      _width(width),
      _height(height)
{
}

GRFRenderNode::~GRFRenderNode() = default;

int GRFRenderNode::append_node(GRFRenderNode* child)
{
    _children.push_back(child);
    return 0;
}

int GRFRenderNode::add_input_texture(const GRFString& name, GPUTexture* texture)
{
    _input_textures[name] = texture;
    return 0;
}

int GRFRenderNode::remove_input_texture(const GRFString& name)
{
    _input_textures.erase(name);
    return 0;
}

GPUTexture* GRFRenderNode::get_input_texture(const GRFString& name) const
{
    const auto found = _input_textures.find(name);
    return found == _input_textures.end() ? nullptr : found->second;
}

GPUTexture* GRFRenderNode::get_default_input_texture() const
{
    return _input_textures.empty() ? nullptr : _input_textures.rbegin()->second;
}

int GRFRenderNode::clear_input_texture()
{
    _input_textures.clear();
    return 0;
}

// Only nodes that draw into a texture have one: the caller's when texture_id names one, else a new
// width x height RGBA texture of the node's own.
void GRFRenderNode::make_output_texture()
{
    if (_target != GRF_RENDER_NODE_TARGET_TEXTURE)
        return;
    if (_texture_id > 0) {
        _output_texture = new GPUTexture(GPU_TEXTURE_2D, _texture_id);
        return;
    }
    _output_texture = new GPUTexture(GPU_TEXTURE_2D, -1);
    _output_texture->set_data_RGBA(nullptr, _width, _height);
}

// A canvas of the node's size that clears to transparent black; without an output texture it draws
// into framebuffer 0.
void GRFRenderNode::make_canvas()
{
    GPUCanvasParam param;
    param.width = _width;
    param.height = _height;
    for (float& component : param.clear_color)
        component = 0.0f;
    _canvas = new GPUCanvas(param, _output_texture);
}

void GRFRenderNode::register_output_with_children()
{
    if (!_output_texture)
        return;
    for (GRFRenderNode* child : _children)
        child->add_input_texture(kChildInputName, _output_texture);
}

int GRFRenderNode::init()
{
    // A second init() would make a new canvas and texture and leak the first ones.
    if (_canvas) {
        GRF_LOG("node %s is already initialised\n", _name.c_str());
        return -1;
    }
    try {
        make_output_texture();
        make_canvas();
        start();
    } catch (...) {
        // Out of memory part-way: free what was made, so that init() can be called again.
        destory();
        delete _canvas;
        _canvas = nullptr;
        delete _output_texture;
        _output_texture = nullptr;
        throw;
    }
    for (GRFRenderNode* child : _children) {
        if (_output_texture)
            child->add_input_texture(kChildInputName, _output_texture);
        child->init();
    }
    return 0;
}

int GRFRenderNode::render()
{
    if (!_canvas) {
        GRF_LOG("node %s is rendered before init\n", _name.c_str());
        return -1;
    }
    update();
    _canvas->draw();
    for (GRFRenderNode* child : _children)
        child->render();
    return 0;
}

int GRFRenderNode::uninit()
{
    for (GRFRenderNode* child : _children)
        child->uninit();
    destory();
    delete _canvas;
    _canvas = nullptr;
    delete _output_texture;
    _output_texture = nullptr;
    return 0;
}

int GRFRenderNode::set_target_tex(int texture_id)
{
    if (texture_id == _texture_id)
        return 0;
    if (_target != GRF_RENDER_NODE_TARGET_TEXTURE) {
        GRF_LOG("node %s draws to the screen and has no output texture\n", _name.c_str());
        return -1;
    }
    const int previous_id = _texture_id;
    _texture_id = texture_id;
    if (!_canvas)
        return 0;
    delete _output_texture;
    _output_texture = nullptr;
    try {
        make_output_texture();
        _canvas->set_target_tex(_output_texture);
        register_output_with_children();
    } catch (...) {
        // Out of memory part-way: forget the new name, so that calling again with it redoes the
        // whole re-targeting instead of finding nothing changed.
        _texture_id = previous_id;
        throw;
    }
    return 0;
}

int GRFRenderNode::set_canvas_width_height(int width, int height)
{
    if (!_canvas)
        return -1;
    if (width == _width && height == _height)
        return 0;
    _width = width;
    _height = height;

    const int call_count = _canvas->get_draw_call_size();
    std::vector<GPUDrawCall*> calls;
    calls.reserve(static_cast<size_t>(call_count));
    for (int i = 0; i < call_count; ++i)
        calls.push_back(_canvas->get_draw_call(i));

    delete _canvas;
    _canvas = nullptr;
    delete _output_texture;
    _output_texture = nullptr;
    make_output_texture();
    make_canvas();
    for (GPUDrawCall* call : calls)
        _canvas->add_draw_call(call);
    register_output_with_children();
    return 0;
}

int GRFRenderNode::read_pixel_rgba(int x, int y, int width, int height, unsigned char* data)
{
    if (!_canvas) {
        GRF_LOG("node %s has no canvas to read before init\n", _name.c_str());
        return -1;
    }
    return _canvas->read_pixel_rgba(x, y, width, height, data);
}

void GRFRenderNode::add_draw_call(GPUDrawCall* call)
{
    if (!_canvas) {
        GRF_LOG("node %s has no canvas for a draw call before init\n", _name.c_str());
        return;
    }
    _canvas->add_draw_call(call);
}

} // namespace GRF
