// GRFRenderNodeUSM: its GLSL texts, its two-coordinate quad and draw call, and its input bindings.
#include "velmo/GRFRenderNodeUSM.h"

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "velmo/FilterNodeQuad.h"

namespace kx_velmo {

const GRF::GRFString GRFRenderNodeUSM::vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "layout(location = 2) in vec3 texCoord2; "
    "out vec3 TexCoord; "
    "out vec3 TexCoord2; "
    "void main() { "
    "gl_Position = vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "TexCoord2 = texCoord2; "
    "}";

const GRF::GRFString GRFRenderNodeUSM::fragment_shader_src =
    "#version 330\n"
    "in vec3 TexCoord; "
    "in vec3 TexCoord2; "
    "uniform sampler2D input_texture; "
    "uniform sampler2D input_texture2; "
    "uniform float intensity; "
    "out vec4 color; "
    "void main() { "
    "lowp vec4 sharpImageColor = texture(input_texture2, TexCoord.xy); "
    "lowp vec3 blurredImageColor = texture(input_texture, TexCoord2.xy).rgb; "
    "color = vec4(sharpImageColor.rgb + (sharpImageColor.rgb - blurredImageColor) * intensity, sharpImageColor.a); "
    "}";

GRFRenderNodeUSM::GRFRenderNodeUSM(int width, int height, GRF::GRFRenderNodeTarget target, int texture_id)
    : GRF::GRFRenderNode("node_usm", width, height, target, texture_id),
      _vertex_array(nullptr),
      _draw_call(nullptr),
      _intensity(1.0f)
{
}

GRFRenderNodeUSM::~GRFRenderNodeUSM() = default;

int GRFRenderNodeUSM::start()
{
    _vertex_array = create_filter_node_quad(true);
    _draw_call = new GRF::GPUDrawCall(vertex_shader_src, fragment_shader_src);
    _draw_call->set_vertex_array(_vertex_array);
    add_draw_call(_draw_call);
    return 0;
}

int GRFRenderNodeUSM::update()
{
    if (!_draw_call)
        return 0;
    int unit = 0;
    for (const auto& input : input_textures())
        _draw_call->put_uniform_texture(input.first, input.second, unit++);
    _draw_call->put_uniform_float("intensity", _intensity);
    return 0;
}

int GRFRenderNodeUSM::destory()
{
    release_filter_node_objects(_vertex_array, _draw_call);
    return 0;
}

void GRFRenderNodeUSM::set_intensity(float intensity)
{
    _intensity = intensity;
}

} // namespace kx_velmo
