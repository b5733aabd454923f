// The GLSL texts of the copy and colour-conversion passes: one line of GLSL after the version line.
#include "velmo/SrRenderCommon.h"

namespace kx_velmo {

const GRF::GRFString SrRenderCommon::_s_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 coor; "
    "uniform mat4 texMat; "
    "uniform mat4 videoCrop; "
    "out vec2 outCoor; "
    "void main() { "
    "gl_Position = videoCrop * vec4(position, 1.0); "
    "outCoor = (texMat * vec4(coor, 1.0)).xy; "
    "}";

const GRF::GRFString SrRenderCommon::_s_vertex_shader_src_310 =
    "#version 310 es\n"
    " layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 coor; "
    "uniform mat4 texMat; "
    "uniform mat4 videoCrop; "
    "out vec2 outCoor; "
    "void main() { "
    "gl_Position = videoCrop * vec4(position, 1.0); "
    "outCoor = (texMat * vec4(coor, 1.0)).xy; "
    "}";

const GRF::GRFString SrRenderCommon::_s_2d_fragment_shader_src =
    "in vec2 outCoor; "
    "uniform sampler2D inputImageTexture; "
    "out vec4 color; "
    "void main() { "
    "lowp vec3 rgb = texture(inputImageTexture, outCoor).rgb; "
    "color = vec4(rgb, 1.0); "
    "}";

const GRF::GRFString SrRenderCommon::_s_oes_fragment_shader_src =
    "in vec2 outCoor; "
    "uniform samplerExternalOES inputImageTextureOES; "
    "out vec4 color; "
    "void main() { "
    "lowp vec3 rgb = texture(inputImageTextureOES, outCoor).rgb; "
    "color = vec4(rgb, 1.0); "
    "}";

const GRF::GRFString SrRenderCommon::_s_2d__rgb2y_fragment_shader_src =
    "in vec2 outCoor; "
    "uniform sampler2D inputImageTexture; "
    "out vec4 color; "
    "void main() { "
    "lowp vec3 rgb = texture(inputImageTexture, outCoor).rgb; "
    "float y = 0.299 * rgb.r + 0.587 * rgb.g + 0.114 * rgb.b; "
    "color = vec4(y, 1.0, 1.0, 1.0); "
    "}";

const GRF::GRFString SrRenderCommon::_s_2d__rgb2uv_fragment_shader_src =
    "in vec2 outCoor; "
    "uniform sampler2D inputImageTexture; "
    "out vec4 color; "
    "void main() { "
    "lowp vec3 rgb = texture(inputImageTexture, outCoor).rgb; "
    "float u = -0.169 * rgb.r - 0.331 * rgb.g + 0.5 * rgb.b + 0.5; "
    "float v = 0.5 * rgb.r - 0.419 * rgb.g - 0.081 * rgb.b + 0.5; "
    "color = vec4(u, v, 1.0, 1.0); "
    "}";

const GRF::GRFString SrRenderCommon::_s_yuv420p_2d_fragment_shader_src =
    "in vec2 outCoor; "
    "uniform sampler2D inputImageTextureY; "
    "uniform sampler2D inputImageTextureU; "
    "uniform sampler2D inputImageTextureV; "
    "uniform mat3 colorConversion; "
    "out vec4 color; "
    "void main() { "
    "mediump vec3 yuv; "
    "lowp vec3 rgb; "
    "yuv.x = texture(inputImageTextureY, outCoor).r - 0.0 / 255.0; "
    "yuv.y = texture(inputImageTextureU, outCoor).r - 0.5; "
    "yuv.z = texture(inputImageTextureV, outCoor).r - 0.5; "
    "rgb = colorConversion * yuv; "
    "color = vec4(rgb, 1.0); "
    "}";

const GRF::GRFString SrRenderCommon::_s_nv12_2d_fragment_shader_src =
    "in vec2 outCoor; "
    "uniform sampler2D inputImageTextureY; "
    "uniform sampler2D inputImageTextureUV; "
    "uniform mat3 colorConversion; "
    "out vec4 color; "
    "void main() { "
    "mediump vec3 yuv; "
    "lowp vec3 rgb; "
    "yuv.x = texture(inputImageTextureY, outCoor).r; "
    "yuv.y = texture(inputImageTextureUV, outCoor).r - 0.5; "
    "yuv.z = texture(inputImageTextureUV, outCoor).g - 0.5; "
    "rgb = colorConversion * yuv; "
    "color = vec4(rgb, 1.0); "
    "}";

} // namespace kx_velmo
