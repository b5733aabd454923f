// GRFRenderNodeGaussianBlur: its GLSL texts, its quad and draw call, and the offsets it feeds them.
#include "velmo/GRFRenderNodeGaussianBlur.h"

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "velmo/FilterNodeQuad.h"

namespace kx_velmo {

const GRF::GRFString GRFRenderNodeGaussianBlur::vetex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "const int GAUSSIAN_SAMPLES = 3; "
    "uniform float texelWidthOffset; "
    "uniform float texelHeightOffset; "
    "out vec3 TexCoord; "
    "out vec2 blurCoordinates[GAUSSIAN_SAMPLES]; "
    "void main() { "
    "gl_Position = vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "vec2 singleStepOffset = vec2(texelHeightOffset, texelWidthOffset); "
    "blurCoordinates[0] = texCoord.xy - singleStepOffset; "
    "blurCoordinates[1] = texCoord.xy; "
    "blurCoordinates[2] = texCoord.xy + singleStepOffset; "
    "}";

const GRF::GRFString GRFRenderNodeGaussianBlur::fragment_shader_src =
    "#version 330\n"
    "const int GAUSSIAN_SAMPLES = 3; "
    "in vec3 TexCoord; "
    "in vec2 blurCoordinates[GAUSSIAN_SAMPLES]; "
    "uniform sampler2D input_texture; "
    "out vec4 outColor; "
    "void main() { "
    "lowp vec4 centre = texture(input_texture, TexCoord.xy); "
    "vec3 sum = texture(input_texture, blurCoordinates[0]).rgb * 0.25; "
    "sum += texture(input_texture, blurCoordinates[1]).rgb * 0.5; "
    "sum += texture(input_texture, blurCoordinates[2]).rgb * 0.25; "
    "outColor = vec4(sum, centre.a); "
    "}";

GRFRenderNodeGaussianBlur::GRFRenderNodeGaussianBlur(int width, int height, GRF::GRFRenderNodeTarget target,
                                                     int texture_id)
    : GRF::GRFRenderNode("node_gaussain_blur", width, height, target, texture_id),
      _vertex_array(nullptr),
      _draw_call(nullptr),
      _blur_size(0.5f),
      _texel_width_offset(0.0f),
      _texel_height_offset(0.0f)
{
}

GRFRenderNodeGaussianBlur::~GRFRenderNodeGaussianBlur() = default;

int GRFRenderNodeGaussianBlur::start()
{
    _vertex_array = create_filter_node_quad(false);
    _draw_call = new GRF::GPUDrawCall(vetex_shader_src, fragment_shader_src);
    _draw_call->set_vertex_array(_vertex_array);
    add_draw_call(_draw_call);
    return 0;
}

int GRFRenderNodeGaussianBlur::update()
{
    GRF::GPUTexture* input = get_default_input_texture();
    if (!input || !_draw_call)
        return 0;
    _draw_call->put_uniform_texture("input_texture", input, 0);
    _draw_call->put_uniform_float("texelWidthOffset", _texel_width_offset);
    _draw_call->put_uniform_float("texelHeightOffset", _texel_height_offset);
    return 0;
}

int GRFRenderNodeGaussianBlur::destory()
{
    release_filter_node_objects(_vertex_array, _draw_call);
    return 0;
}

void GRFRenderNodeGaussianBlur::set_blur_size(float blur_size)
{
    _blur_size = blur_size;
}

void GRFRenderNodeGaussianBlur::set_texel_size(float a, float b)
{
    _texel_width_offset = a > 0.0f ? _blur_size / a : 0.0f;
    _texel_height_offset = b > 0.0f ? _blur_size / b : 0.0f;
}

} // namespace kx_velmo
