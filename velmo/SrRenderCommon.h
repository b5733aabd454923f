// SrRenderCommon: the super-resolution renderer's shared part; for now the GLSL texts it draws with.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFString.h"

namespace kx_velmo {

class GRF_EXPORT SrRenderCommon {
public:
    // Copy and colour-conversion texts. The vertex stage feeds every fragment stage below: position at
    // location 0 (through mat4 videoCrop), coor at location 1 (through mat4 texMat), out vec2 outCoor.
    // Fragment texts carry no version line: they are compiled behind "#version 330\n". None declares a
    // default precision, so each is valid as desktop GLSL 3.30 and, after GPUShader's rewrite, as
    // GLSL ES 3.00.
    static const GRF::GRFString _s_vertex_shader_src;
    static const GRF::GRFString _s_vertex_shader_src_310;
    // color = (rgb, 1.0) of inputImageTexture (sampler2D) or inputImageTextureOES (samplerExternalOES).
    static const GRF::GRFString _s_2d_fragment_shader_src;
    static const GRF::GRFString _s_oes_fragment_shader_src;
    // Full-range BT.601 luma as (y, 1, 1, 1) and chroma as (u, v, 1, 1), u and v offset by 0.5.
    static const GRF::GRFString _s_2d__rgb2y_fragment_shader_src;
    static const GRF::GRFString _s_2d__rgb2uv_fragment_shader_src;
    // color = (colorConversion * (y, u - 0.5, v - 0.5), 1.0), planes Y, U, V or Y and interleaved UV.
    static const GRF::GRFString _s_yuv420p_2d_fragment_shader_src;
    static const GRF::GRFString _s_nv12_2d_fragment_shader_src;

    // One-pass unsharp mask. The vertex stage (position at location 0, highp coor at location 1, mat4
    // texMat and videoCrop, highp floats texelWidthOffset and texelHeightOffset) writes outCoor and six
    // blur coordinates: centre minus, at, plus one horizontal step, then the same vertically. The two
    // vertex texts differ only in their version lines ("#version 330" and "#version 310 es"). The
    // fragment text (no version line) writes outColor = rgb + sharpness * (rgb - mean of the cross),
    // alpha kept, from input_texture.
    static const GRF::GRFString _s_usm_1pass_vertex_shader_src;
    static const GRF::GRFString _s_usm_1pass_vertex_shader_src_310;
    static const GRF::GRFString _s_usm_1pass_fragment_shader_src;
    // Edge-adaptive upscaling of ps0 (ViewportInfo = (1/W, 1/H, W, H) of the input) with the unsharp
    // mask folded in; uniforms enableEdgeAdaptive, enableBilateralFilter, enableFaceProtection and
    // usmSharpness; output out_Target0 with alpha 1.0. The main text is GLSL ES 3.10 (gathers); the
    // fallback carries no version line and reads each gathered texel with one lookup.
    static const GRF::GRFString _s_gsr_render_fragment_shader_src;
    static const GRF::GRFString _s_gsr_fallback_render_fragment_shader_src;
};

} // namespace kx_velmo
