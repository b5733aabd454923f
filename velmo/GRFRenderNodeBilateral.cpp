// GRFRenderNodeBilateral: its GLSL texts, its quad and draw call, and the parameters it feeds them.
#include "velmo/GRFRenderNodeBilateral.h"

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFLog.h"
#include "velmo/FilterNodeQuad.h"

namespace kx_velmo {

namespace {

// Parameters under which the program returns its input: with sigmas this small every tap but the
// centre weighs exp(-5000) = 0, and the centre weighs 1.
constexpr float kCopySize = 1.0f;
constexpr float kCopySigma = 0.01f;

} // namespace

const GRF::GRFString GRFRenderNodeBilateral::bilateral_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "out vec3 TexCoord; "
    "void main() { "
    "gl_Position = vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "}";

// The skin box is the one of the upscaling pass's face protection (full-range BT.601 chroma).
const GRF::GRFString GRFRenderNodeBilateral::bilateral_fragment_shader_src =
    "#version 330\n"
    "const int MAX_KERNEL_SIZE = 9; "
    "in vec3 TexCoord; "
    "uniform sampler2D input_texture; "
    "uniform float texelWidth; "
    "uniform float texelHeight; "
    "uniform float sigmaS; "
    "uniform float sigmaR; "
    "out vec4 color; "
    "const vec2 offsets[MAX_KERNEL_SIZE] = vec2[MAX_KERNEL_SIZE](vec2(-2.0, -2.0), vec2(0.0, -2.0), "
    "vec2(2.0, -2.0), vec2(-2.0, 0.0), vec2(0.0, 0.0), vec2(2.0, 0.0), vec2(-2.0, 2.0), vec2(0.0, 2.0), "
    "vec2(2.0, 2.0)); "
    "const float distances[MAX_KERNEL_SIZE] = float[MAX_KERNEL_SIZE](2.0, 1.0, 2.0, 1.0, 0.0, 1.0, 2.0, 1.0, 2.0); "
    "void main() { "
    "vec3 centre = texture(input_texture, TexCoord.xy).rgb; "
    "float cr = 0.5 * centre.r - 0.4187 * centre.g - 0.0813 * centre.b + 0.5; "
    "float cb = -0.168 * centre.r - 0.3313 * centre.g + 0.5 * centre.b + 0.5; "
    "bool skin = cr >= 133.0/255.0 && cr <= 173.0/255.0 && cb >= 77.0/255.0 && cb <= 127.0/255.0; "
    "if (!skin) { "
    "color = vec4(centre, 1.0); "
    "return; "
    "} "
    "float kS = 1.0 / (2.0 * sigmaS * sigmaS); "
    "float kR = 1.0 / (2.0 * sigmaR * sigmaR); "
    "vec2 imageSize = vec2(texelWidth, texelHeight); "
    "vec3 colourSum = vec3(0.0); "
    "float weightSum = 0.0; "
    "for (int i = 0; i < MAX_KERNEL_SIZE; i++) { "
    "vec3 tap = texture(input_texture, TexCoord.xy + offsets[i] / imageSize).rgb; "
    "vec3 difference = centre - tap; "
    "float d = dot(difference, difference); "
    "float w = exp(-distances[i] * kS) * exp(-d * kR); "
    "colourSum += tap * w; "
    "weightSum += w; "
    "} "
    "color = vec4((colourSum / weightSum) * 0.5 + centre * 0.5, 1.0); "
    "}";

GRFRenderNodeBilateral::GRFRenderNodeBilateral(int width, int height)
    : GRF::GRFRenderNode("node_bilateral", width, height, GRF::GRF_RENDER_NODE_TARGET_TEXTURE, -1),
      _vertex_array(nullptr),
      _draw_call(nullptr),
      _texel_width(0.0f),
      _texel_height(0.0f),
      _sigma_s(0.8f),
      _sigma_r(1.0f)
{
}

GRFRenderNodeBilateral::~GRFRenderNodeBilateral() = default;

int GRFRenderNodeBilateral::start()
{
    _vertex_array = create_filter_node_quad(false);
    _draw_call = new GRF::GPUDrawCall(bilateral_vertex_shader_src, bilateral_fragment_shader_src);
    _draw_call->set_vertex_array(_vertex_array);
    add_draw_call(_draw_call);
    return 0;
}

bool GRFRenderNodeBilateral::parameters_usable() const
{
    // Written so that a NaN is not usable either.
    return _texel_width > 0.0f && _texel_height > 0.0f && _sigma_s > 0.0f && _sigma_r > 0.0f;
}

int GRFRenderNodeBilateral::update()
{
    GRF::GPUTexture* input = get_default_input_texture();
    if (!input || !_draw_call)
        return 0;
    const bool usable = parameters_usable();
    _draw_call->put_uniform_texture("input_texture", input, 0);
    _draw_call->put_uniform_float("texelWidth", usable ? _texel_width : kCopySize);
    _draw_call->put_uniform_float("texelHeight", usable ? _texel_height : kCopySize);
    _draw_call->put_uniform_float("sigmaS", usable ? _sigma_s : kCopySigma);
    _draw_call->put_uniform_float("sigmaR", usable ? _sigma_r : kCopySigma);
    return 0;
}

int GRFRenderNodeBilateral::destory()
{
    release_filter_node_objects(_vertex_array, _draw_call);
    return 0;
}

void GRFRenderNodeBilateral::set_texel_size(float width, float height)
{
    _texel_width = width;
    _texel_height = height;
    if (!(width > 0.0f && height > 0.0f))
        GRF_LOG_AT(GRFLogLevel::warn, "bilateral image size %f x %f is not positive: the node copies its input\n",
                   width, height);
}

void GRFRenderNodeBilateral::set_params(float sigma_s, float sigma_r)
{
    _sigma_s = sigma_s;
    _sigma_r = sigma_r;
    if (!(sigma_s > 0.0f && sigma_r > 0.0f))
        GRF_LOG_AT(GRFLogLevel::warn, "bilateral sigmas %f and %f are not positive: the node copies its input\n",
                   sigma_s, sigma_r);
}

} // namespace kx_velmo
