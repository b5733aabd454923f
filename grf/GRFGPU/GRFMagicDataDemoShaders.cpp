// GRFMagicData's demo shader texts: cube, animated pattern, camera preview, crop, colour blend and a
// fixed bilateral smoothing.
#include "grf/GRFGPU/GRFMagicData.h"

namespace GRF {
namespace GRFMagicData {

// Every text is one line after its version line; the literals are glued together, one statement each.

const GRFString cube_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "uniform mat4 mvp; "
    "out vec3 TexCoord; "
    "void main() { "
    "gl_Position = mvp * vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "}";

const GRFString cube_fragment_shader_src =
    "#version 330\n"
    "in vec3 TexCoord; "
    "uniform sampler2D image; "
    "uniform float width; "
    "uniform float height; "
    "uniform float iTime; "
    "out vec4 color; "
    "void main() { "
    "color = texture(image, TexCoord.xy); "
    "}";

const GRFString fractal_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "out vec3 TexCoord; "
    "void main() { "
    "gl_Position = vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "}";

// Rings spreading from the centre over a drifting wave grid; each channel runs a third of a turn
// behind the previous one, so the colours cycle as t grows.
const GRFString fractal_fragment_shader_src =
    "#version 330\n"
    "in vec3 TexCoord; "
    "uniform float width; "
    "uniform float height; "
    "uniform float iTime; "
    "out vec4 outputFragColor; "
    "void main() { "
    "vec2 resolution = vec2(width, height); "
    "vec2 p = (TexCoord.xy * resolution - 0.5 * resolution) / height; "
    "float t = iTime * 0.1; "
    "float radius = length(p); "
    "vec3 colour; "
    "for (int c = 0; c < 3; c++) { "
    "float phase = t * 6.2831853 + float(c) * 2.0943951; "
    "float rings = sin(radius * 18.0 - phase); "
    "float waves = sin(p.x * 7.0 + phase) * sin(p.y * 5.0 - phase); "
    "colour[c] = 0.5 + 0.3 * rings + 0.2 * waves; "
    "} "
    "outputFragColor = vec4(colour, t); "
    "}";

const GRFString android_camera_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 coor; "
    "uniform mat4 cameraCoor; "
    "out vec2 outCoor; "
    "void main() { "
    "gl_Position = vec4(position, 1.0); "
    "outCoor = (cameraCoor * vec4(coor, 1.0)).xy; "
    "}";

// The tone curve lifts the shadows (gamma 1/2.2 below 0.5) and the highlights (gamma 1/1.2 above
// 0.75) and is continuous at both thresholds; the chroma is kept.
const GRFString android_camera_fragment_shader_src =
    "#version 330\n"
    "in vec2 outCoor; "
    "uniform samplerExternalOES cameraTexture; "
    "uniform int isHDR; "
    "uniform mat3 mat3_yuv_2_rgb_709; "
    "uniform mat3 mat3_rgb_2_yuv_709; "
    "out vec4 color; "
    "void main() { "
    "vec3 k = texture(cameraTexture, outCoor).rgb; "
    "if (isHDR == 0) { "
    "color = vec4(k, 1.0); "
    "return; "
    "} "
    "vec3 yuv = mat3_rgb_2_yuv_709 * k; "
    "float y = yuv.x; "
    "if (y >= 0.75) { "
    "y = pow((y - 0.75) / (1.0 - 0.75), 1.0 / 1.2) * (1.0 - 0.75) + 0.75; "
    "} else if (y <= 0.5) { "
    "y = pow(y / 0.5, 1.0 / 2.2) * 0.5; "
    "} "
    "yuv.x = y; "
    "color = vec4(mat3_yuv_2_rgb_709 * yuv, 1.0); "
    "}";

const GRFString android_camera_fragment_shader_src_sigmoid =
    "#version 330\n"
    "in vec2 outCoor; "
    "uniform samplerExternalOES cameraTexture; "
    "uniform int isHDR; "
    "out vec4 color; "
    "void main() { "
    "vec3 k = texture(cameraTexture, outCoor).rgb; "
    "if (isHDR != 0) { "
    "k = 1.0 / (1.0 + pow(vec3(2.71828), -(7.0 * k - 3.5))); "
    "} "
    "color = vec4(k, 1.0); "
    "}";

const GRFString crop_surface_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "uniform mat4 crop_mat; "
    "out vec3 TexCoord; "
    "void main() { "
    "gl_Position = crop_mat * vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "}";

const GRFString crop_surface_fragment_shader_src =
    "#version 330\n"
    "in vec3 TexCoord; "
    "uniform sampler2D image; "
    "out vec4 color; "
    "void main() { "
    "color = texture(image, TexCoord.xy); "
    "}";

const GRFString colorblend_filter_vertex_shader_src =
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

// Per channel: where overlay and base together reach full coverage the result saturates at the
// combined alpha plus what each leaves uncovered; elsewhere the two add.
const GRFString colorblend_filter_fragment_shader_src =
    "#version 330\n"
    "in vec3 TexCoord; "
    "in vec3 TexCoord2; "
    "uniform sampler2D input_texture; "
    "uniform sampler2D input_texture2; "
    "out vec4 color; "
    "float blendChannel(float b, float o, float ba, float oa) { "
    "if (o * ba + b * oa >= oa * ba) { "
    "return oa * ba + o * (1.0 - ba) + b * (1.0 - oa); "
    "} "
    "return o + b; "
    "} "
    "void main() { "
    "vec4 base = texture(input_texture, TexCoord.xy); "
    "vec4 overlay = texture(input_texture2, TexCoord2.xy); "
    "color = vec4(blendChannel(base.r, overlay.r, base.a, overlay.a), "
    "blendChannel(base.g, overlay.g, base.a, overlay.a), "
    "blendChannel(base.b, overlay.b, base.a, overlay.a), "
    "overlay.a + base.a - overlay.a * base.a); "
    "}";

const GRFString bilateral_filter_vertex_shader_src =
    "#version 330\n"
    "layout(location = 0) in vec3 position; "
    "layout(location = 1) in vec3 texCoord; "
    "out vec3 TexCoord; "
    "void main() { "
    "gl_Position = vec4(position, 1.0); "
    "TexCoord = texCoord; "
    "}";

// Unlike the skin-tone node, it smooths every pixel and keeps none of the centre apart from its weight.
const GRFString bilateral_filter_fragment_shader_src =
    "#version 330\n"
    "in vec3 TexCoord; "
    "uniform sampler2D input_texture; "
    "out vec4 color; "
    "void main() { "
    "vec2 tapStep = vec2(5.0 / 1080.0, 5.0 / 1920.0); "
    "vec3 centre = texture(input_texture, TexCoord.xy).rgb; "
    "vec3 colourSum = vec3(0.0); "
    "float weightSum = 0.0; "
    "for (int y = -2; y <= 2; y++) { "
    "for (int x = -2; x <= 2; x++) { "
    "vec3 tap = texture(input_texture, TexCoord.xy + vec2(float(x), float(y)) * tapStep).rgb; "
    "vec3 difference = centre - tap; "
    "float spatial = exp(-float(x * x + y * y) / (2.0 * 0.5 * 0.5)); "
    "float range = exp(-dot(difference, difference) / (2.0 * 0.5 * 0.5)); "
    "colourSum += tap * spatial * range; "
    "weightSum += spatial * range; "
    "} "
    "} "
    "color = vec4(colourSum / weightSum, 1.0); "
    "}";

} // namespace GRFMagicData
} // namespace GRF
