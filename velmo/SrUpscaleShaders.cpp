// GLSL texts of the edge-adaptive upscaling pass (gather and single-lookup variants) and of the
// one-pass unsharp mask whose vertex stage both upscaling variants share.
#include "velmo/SrRenderCommon.h"

namespace kx_velmo {

// Each text is one line after its version line: the literals below are glued together, one
// statement per literal, so that a statement of the shader reads as one line here. The blur taps
// are made per vertex (elements 1 and 4 both hold the centre) and interpolated.
#define VELMO_USM_1PASS_VERTEX_BODY                                                                         \
    "layout(location = 0) in vec3 position; "                                                              \
    "layout(location = 1) in highp vec3 coor; "                                                            \
    "const int GAUSSIAN_SAMPLES = 6; "                                                                     \
    "uniform highp float texelWidthOffset; "                                                               \
    "uniform highp float texelHeightOffset; "                                                              \
    "uniform mat4 texMat; "                                                                                \
    "uniform mat4 videoCrop; "                                                                             \
    "out vec2 blurCoordinates[GAUSSIAN_SAMPLES]; "                                                         \
    "out vec2 outCoor; "                                                                                   \
    "void main() { "                                                                                       \
    "gl_Position = videoCrop * vec4(position, 1.0); "                                                      \
    "vec2 centre = (texMat * vec4(coor, 1.0)).xy; "                                                        \
    "outCoor = centre; "                                                                                   \
    "vec2 singleStepOffset = vec2(texelWidthOffset, 0.0); "                                                \
    "blurCoordinates[0] = centre - singleStepOffset; "                                                     \
    "blurCoordinates[1] = centre; "                                                                        \
    "blurCoordinates[2] = centre + singleStepOffset; "                                                     \
    "singleStepOffset = vec2(0.0, texelHeightOffset); "                                                    \
    "blurCoordinates[3] = centre - singleStepOffset; "                                                     \
    "blurCoordinates[4] = centre; "                                                                        \
    "blurCoordinates[5] = centre + singleStepOffset; "                                                     \
    "}"

const GRF::GRFString SrRenderCommon::_s_usm_1pass_vertex_shader_src = "#version 330\n" VELMO_USM_1PASS_VERTEX_BODY;

const GRF::GRFString SrRenderCommon::_s_usm_1pass_vertex_shader_src_310 =
    "#version 310 es\n " VELMO_USM_1PASS_VERTEX_BODY;

#undef VELMO_USM_1PASS_VERTEX_BODY

// Pushes each pixel away from the mean of itself and its four neighbours; alpha passes through.
const GRF::GRFString SrRenderCommon::_s_usm_1pass_fragment_shader_src =
    "in vec2 outCoor; "
    "const lowp int GAUSSIAN_SAMPLES = 6; "
    "in vec2 blurCoordinates[GAUSSIAN_SAMPLES]; "
    "uniform sampler2D input_texture; "
    "uniform float sharpness; "
    "out vec4 outColor; "
    "void main() { "
    "vec4 centralColor = texture(input_texture, outCoor); "
    "vec3 blurColor = texture(input_texture, blurCoordinates[0]).rgb * 0.2; "
    "blurColor += texture(input_texture, blurCoordinates[1]).rgb * 0.2; "
    "blurColor += texture(input_texture, blurCoordinates[2]).rgb * 0.2; "
    "blurColor += texture(input_texture, blurCoordinates[3]).rgb * 0.2; "
    "blurColor += texture(input_texture, blurCoordinates[5]).rgb * 0.2; "
    "outColor = vec4(centralColor.rgb + sharpness * (centralColor.rgb - blurColor), centralColor.a); "
    "}";

// Declarations, constants and helpers common to both upscaling variants. The green channel (`mode`)
// stands in for luma. fastLanczos2 is (x - 1)(x - 4)^3 without clamping, so taps whose stretched
// distance x lies between 1 and 4 weigh negatively. weightY stretches a tap's squared distance along
// the edge direction (dx pairs with dir.y, dy with dir.x) by an amount that grows with the tap's
// normalised contrast, and returns the tap's (weight * luma, weight).
#define VELMO_GSR_DECLARATIONS(OUT_COOR_PRECISION)                                                          \
    "precision mediump float; "                                                                            \
    "precision highp int; "                                                                                \
    "const lowp int GAUSSIAN_SAMPLES = 6; "                                                                \
    "const float EDGE_THRESHOLD = 4.0/255.0; "                                                             \
    "const float EDGE_THRESHOLD_4X = 16.0/255.0; "                                                         \
    "const float EDGE_SHARPNESS = 2.0; "                                                                   \
    "const float DELTA_Y_CLAMP = 23.0/255.0; "                                                             \
    "const float SMALL_EPSILON = 3.075740e-05; "                                                           \
    "const int mode = 1; "                                                                                 \
    "uniform highp vec4 ViewportInfo; "                                                                    \
    "uniform mediump sampler2D ps0; "                                                                      \
    "uniform int enableEdgeAdaptive; "                                                                     \
    "uniform int enableBilateralFilter; "                                                                  \
    "uniform int enableFaceProtection; "                                                                   \
    "uniform float usmSharpness; "                                                                         \
    "in " OUT_COOR_PRECISION "vec2 outCoor; "                                                              \
    "in vec2 blurCoordinates[GAUSSIAN_SAMPLES]; "                                                          \
    "out vec4 out_Target0; "                                                                               \
    "float fastLanczos2(float x) { "                                                                       \
    "float wA = x - 4.0; "                                                                                 \
    "float wB = x * wA - wA; "                                                                             \
    "wA *= wA; "                                                                                           \
    "return wB * wA; "                                                                                     \
    "} "                                                                                                   \
    "vec2 weightY(float dx, float dy, float c, float std, vec2 dir) { "                                    \
    "float edgeDis = dx * dir.y + dy * dir.x; "                                                            \
    "float x = dx * dx + dy * dy + edgeDis * edgeDis * (0.7 * clamp(c * c * std, 0.0, 1.0) - 1.0); "       \
    "float w = fastLanczos2(x); "                                                                          \
    "return vec2(w * c, w); "                                                                              \
    "} "

// Steps 1 to 3 of the pass: blur, bilinear base colour and grid position. The vertical grid term is
// +0.5 so that, with the gather order (x, y, z, w) = (i0 j1, i1 j1, i1 j0, i0 j0), the pixel lies
// inside the inner quad left.y, left.z, right.x, right.w.
#define VELMO_GSR_MAIN_HEAD                                                                                 \
    "void main() { "                                                                                       \
    "vec3 blurColor = texture(ps0, blurCoordinates[0]).rgb * 0.2; "                                        \
    "blurColor += texture(ps0, blurCoordinates[1]).rgb * 0.2; "                                            \
    "blurColor += texture(ps0, blurCoordinates[2]).rgb * 0.2; "                                            \
    "blurColor += texture(ps0, blurCoordinates[3]).rgb * 0.2; "                                            \
    "blurColor += texture(ps0, blurCoordinates[5]).rgb * 0.2; "                                            \
    "vec3 color = textureLod(ps0, outCoor, 0.0).rgb; "                                                     \
    "highp vec2 imgCoord = outCoor * ViewportInfo.zw + vec2(-0.5, 0.5); "                                  \
    "highp vec2 imgCoordPixel = floor(imgCoord); "                                                         \
    "highp vec2 coord = imgCoordPixel * ViewportInfo.xy; "                                                 \
    "highp vec2 pl = imgCoord - imgCoordPixel; "

// Step 5: the edge vote over the first quad; only pixels above the threshold read the other taps.
#define VELMO_GSR_EDGE_VOTE                                                                                 \
    "float edgeVote = abs(left.z - left.y) + abs(color[mode] - left.y) + abs(color[mode] - left.z); "      \
    "if (edgeVote > EDGE_THRESHOLD) { "

// Steps 7 to 11: centring, contrast normaliser, edge direction, the twelve weighted taps in table
// order (upDown, left, right) and the clamped luma correction added to red, green and blue.
#define VELMO_GSR_REFINEMENT                                                                                \
    "float mean = (left.y + left.z + right.x + right.w) * 0.25; "                                          \
    "left = left - vec4(mean); "                                                                           \
    "right = right - vec4(mean); "                                                                         \
    "upDown = upDown - vec4(mean); "                                                                       \
    "float centreOffset = color[mode] - mean; "                                                            \
    "float sum = abs(left.x) + abs(left.y) + abs(left.z) + abs(left.w) "                                   \
    "+ (abs(right.x) + abs(right.y) + abs(right.z) + abs(right.w)) "                                       \
    "+ (abs(upDown.x) + abs(upDown.y) + abs(upDown.z) + abs(upDown.w)); "                                  \
    "float sumMean = 1.014185e+01 / sum; "                                                                 \
    "float std = sumMean * sumMean; "                                                                      \
    "float dirA = right.x - left.z; "                                                                      \
    "float dirB = right.w - left.y; "                                                                      \
    "vec2 edgeDirection = vec2(dirA + dirB, dirA - dirB); "                                                \
    "edgeDirection = edgeDirection / sqrt(edgeDirection.x * edgeDirection.x + SMALL_EPSILON "              \
    "+ edgeDirection.y * edgeDirection.y); "                                                               \
    "vec2 aWY = weightY(pl.x, pl.y + 1.0, upDown.x, std, edgeDirection); "                                 \
    "aWY += weightY(pl.x - 1.0, pl.y + 1.0, upDown.y, std, edgeDirection); "                               \
    "aWY += weightY(pl.x - 1.0, pl.y - 2.0, upDown.z, std, edgeDirection); "                               \
    "aWY += weightY(pl.x, pl.y - 2.0, upDown.w, std, edgeDirection); "                                     \
    "aWY += weightY(pl.x + 1.0, pl.y - 1.0, left.x, std, edgeDirection); "                                 \
    "aWY += weightY(pl.x, pl.y - 1.0, left.y, std, edgeDirection); "                                       \
    "aWY += weightY(pl.x, pl.y, left.z, std, edgeDirection); "                                             \
    "aWY += weightY(pl.x + 1.0, pl.y, left.w, std, edgeDirection); "                                       \
    "aWY += weightY(pl.x - 1.0, pl.y - 1.0, right.x, std, edgeDirection); "                                \
    "aWY += weightY(pl.x - 2.0, pl.y - 1.0, right.y, std, edgeDirection); "                                \
    "aWY += weightY(pl.x - 2.0, pl.y, right.z, std, edgeDirection); "                                      \
    "aWY += weightY(pl.x - 1.0, pl.y, right.w, std, edgeDirection); "                                      \
    "float finalY = aWY.x / aWY.y; "                                                                       \
    "float maxY = max(max(left.y, left.z), max(right.x, right.w)); "                                       \
    "float minY = min(min(left.y, left.z), min(right.x, right.w)); "                                       \
    "finalY = clamp(EDGE_SHARPNESS * finalY, minY, maxY); "                                                \
    "float deltaY = clamp(finalY - centreOffset, -DELTA_Y_CLAMP, DELTA_Y_CLAMP); "                         \
    "color = clamp(color + vec3(deltaY), 0.0, 1.0); "                                                      \
    "} "

// Step 12: the unsharp mask against the cross blur. With edge adaptation the strength drops on
// strong edges (less so when the input was smoothed beforehand) and vanishes on skin tones when
// face protection is on; both comparisons with the edge thresholds are strict.
#define VELMO_GSR_SHARPENING                                                                                \
    "if (enableEdgeAdaptive == 1) { "                                                                      \
    "float usmWeight = 1.0; "                                                                              \
    "if (edgeVote > EDGE_THRESHOLD_4X) { "                                                                 \
    "usmWeight = (enableBilateralFilter == 1) ? 0.5 : 0.2; "                                               \
    "} "                                                                                                   \
    "if (enableFaceProtection == 1) { "                                                                    \
    "float cr = 0.5 * color.r - 0.4187 * color.g - 0.0813 * color.b + 0.5; "                              \
    "float cb = -0.168 * color.r - 0.3313 * color.g + 0.5 * color.b + 0.5; "                               \
    "if (cr >= 133.0/255.0 && cr <= 173.0/255.0 && cb >= 77.0/255.0 && cb <= 127.0/255.0) { "              \
    "usmWeight = 0.0; "                                                                                    \
    "} "                                                                                                   \
    "} "                                                                                                   \
    "color = color + usmSharpness * (color - blurColor) * usmWeight; "                                     \
    "} else { "                                                                                            \
    "color = color + usmSharpness * (color - blurColor); "                                                 \
    "} "                                                                                                   \
    "out_Target0 = vec4(color, 1.0); "                                                                     \
    "}"

// Main variant: each 2x2 quad of green values comes from one gather. The three further quads sit
// one texel right of the first (right) and one texel above and below that (upDown keeps the two
// texels of each that lie in the columns px and px + 1).
const GRF::GRFString SrRenderCommon::_s_gsr_render_fragment_shader_src =
    "#version 310 es\n " VELMO_GSR_DECLARATIONS("highp ") VELMO_GSR_MAIN_HEAD
    "vec4 left = textureGather(ps0, coord, mode); "
    VELMO_GSR_EDGE_VOTE
    "coord.x += ViewportInfo.x; "
    "vec4 right = textureGather(ps0, coord + vec2(ViewportInfo.x, 0.0), mode); "
    "vec4 upDown; "
    "upDown.xy = textureGather(ps0, coord + vec2(0.0, -ViewportInfo.y), mode).wz; "
    "upDown.zw = textureGather(ps0, coord + vec2(0.0, ViewportInfo.y), mode).yx; "
    VELMO_GSR_REFINEMENT VELMO_GSR_SHARPENING;

// Fallback variant for contexts without gathers: every gathered texel is read with one ordinary
// lookup half a texel from the gather point, which lands on the texel's centre, so the linear
// filter returns the texel itself.
const GRF::GRFString SrRenderCommon::_s_gsr_fallback_render_fragment_shader_src =
    VELMO_GSR_DECLARATIONS("") VELMO_GSR_MAIN_HEAD
    "highp vec4 offsets = vec4(-0.5, 0.5, -0.5, 0.5) * ViewportInfo.xxyy; "
    "vec4 left = vec4(texture(ps0, coord + offsets.xw)[mode], texture(ps0, coord + offsets.yw)[mode], "
    "texture(ps0, coord + offsets.yz)[mode], texture(ps0, coord + offsets.xz)[mode]); "
    VELMO_GSR_EDGE_VOTE
    "coord.x += ViewportInfo.x; "
    "highp vec2 rightCoord = coord + vec2(ViewportInfo.x, 0.0); "
    "vec4 right = vec4(texture(ps0, rightCoord + offsets.xw)[mode], texture(ps0, rightCoord + offsets.yw)[mode], "
    "texture(ps0, rightCoord + offsets.yz)[mode], texture(ps0, rightCoord + offsets.xz)[mode]); "
    "highp vec2 upCoord = coord + vec2(0.0, -ViewportInfo.y); "
    "highp vec2 downCoord = coord + vec2(0.0, ViewportInfo.y); "
    "vec4 upDown; "
    "upDown.x = texture(ps0, upCoord + offsets.xz)[mode]; "
    "upDown.y = texture(ps0, upCoord + offsets.yz)[mode]; "
    "upDown.z = texture(ps0, downCoord + offsets.yw)[mode]; "
    "upDown.w = texture(ps0, downCoord + offsets.xw)[mode]; "
    VELMO_GSR_REFINEMENT VELMO_GSR_SHARPENING;
#undef VELMO_GSR_DECLARATIONS
#undef VELMO_GSR_MAIN_HEAD
#undef VELMO_GSR_EDGE_VOTE
#undef VELMO_GSR_REFINEMENT
#undef VELMO_GSR_SHARPENING

} // namespace kx_velmo
