// RecordingNode: fill and copy programs over the quad, and the call log.
#include "shaders/RecordingNode.h"

#include <utility>

#include "grf/GRFGPU/GRFMagicData.h"

namespace velmo_test {

namespace {

const char* const kVertex =
    "#version 330\n"
    "layout(location = 0) in vec3 position; layout(location = 1) in vec3 texCoord; out vec3 TexCoord; "
    "void main() { gl_Position = vec4(position, 1.0); TexCoord = texCoord; }";
const char* const kFill =
    "#version 330\n"
    "in vec3 TexCoord; uniform vec4 fill; uniform float leftHalfOnly; out vec4 color; "
    "void main() { if (leftHalfOnly > 0.5 && TexCoord.x > 0.5) discard; color = fill; }";
const char* const kCopy =
    "#version 330\n"
    "in vec3 TexCoord; uniform sampler2D input_texture; out vec4 color; "
    "void main() { color = texture(input_texture, TexCoord.xy); }";

} // namespace

RecordingNode::RecordingNode(std::string label, std::vector<std::string>* log, std::vector<Fill> fills, int width,
                             int height, GRF::GRFRenderNodeTarget target, int texture_id)
    : GRF::GRFRenderNode(label.c_str(), width, height, target, texture_id),
      _label(std::move(label)),
      _log(log),
      _fills(std::move(fills))
{
}

RecordingNode::~RecordingNode() = default;

int RecordingNode::start()
{
    _log->push_back(_label + ".start");
    _had_input_at_start = get_input_texture("input_texture") != nullptr;
    using namespace GRF::GRFMagicData;
    _quad = std::make_unique<GRF::GPUVertexArray>();
    _quad->add_vertex(plane_vertex, sizeof(plane_vertex), 0, 3, 0);
    _quad->add_vertex(plane_coor, sizeof(plane_coor), 1, 3, 0);
    _quad->set_index(plane_vertex_index, sizeof(plane_vertex_index));
    const size_t count = _fills.empty() ? 1 : _fills.size();
    for (size_t i = 0; i < count; ++i) {
        _calls.push_back(std::make_unique<GRF::GPUDrawCall>(kVertex, _fills.empty() ? kCopy : kFill));
        _calls.back()->set_vertex_array(_quad.get());
        add_draw_call(_calls.back().get());
    }
    return 0;
}

int RecordingNode::update()
{
    _log->push_back(_label + ".update");
    if (_fills.empty()) {
        if (GRF::GPUTexture* input = get_default_input_texture())
            _calls[0]->put_uniform_texture("input_texture", input, 0);
        return 0;
    }
    for (size_t i = 0; i < _fills.size(); ++i) {
        _calls[i]->put_uniform_floatvec4("fill", _fills[i].data());
        _calls[i]->put_uniform_float("leftHalfOnly", i > 0 ? 1.0f : 0.0f);
    }
    return 0;
}

int RecordingNode::destory()
{
    _log->push_back(_label + ".destory");
    _calls.clear();
    _quad.reset();
    return 0;
}

} // namespace velmo_test
