// SrRenderCommon: the renderer's settings, GPU objects and the GLSL texts it draws with.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "grf/GRFExport.h"
#include "grf/GRFMath/Matrix.h"
#include "grf/GRFString.h"

namespace GRF {
class GPUCanvas;
class GPUDrawCall;
class GPUTexture;
class GPUVertexArray;
} // namespace GRF

namespace kx_velmo {

class GRFRenderNodeBilateral;

// Members are public: the C interface and the frame pipeline read and write them directly.
class GRF_EXPORT SrRenderCommon {
public:
    // Every member at its default; no GPU object is created and no context is needed.
    SrRenderCommon();
    // Drops the input wrapper and the smoothing node; release_tex_and_canvas() must have run first.
    virtual ~SrRenderCommon();

    SrRenderCommon(const SrRenderCommon&) = delete;
    SrRenderCommon& operator=(const SrRenderCommon&) = delete;

    // Releases every GPU object of the instance and returns to the empty state.
    virtual int stop_render() = 0;

    // Records the video size while none (or a negative one) is recorded; final afterwards.
    void set_video_size(int width, int height);
    // Super-resolution on or off from the next frame; may be called from any thread.
    void set_enable_sr(bool enable);
    // Records a status change reported by the host (logged once per change).
    void set_sr_enabled_status(bool status);
    // Wraps the caller's texture as the input (never deleting it); a negative name keeps the previous one.
    void set_input_texid(int texid);
    // The output texture's name, created on first use. Needs a context of the caller's share group.
    int gen_output_texid();
    // Deletes canvases before the textures they target, then the rest; safe in any state.
    void release_tex_and_canvas();

    std::shared_ptr<GRFRenderNodeBilateral> _bilateral_node;
    GRF::GPUVertexArray* _vertex_array;
    GRF::GPUDrawCall* _copy_draw_call;
    GRF::GPUDrawCall* _sr_draw_call;
    GRF::GPUDrawCall* _smooth_draw_call;
    bool _sr_programs_ready;
    bool _base_ready;
    bool _sr_programs_built;
    bool _textures_ready;
    bool _first_frame_done;
    GRF::GPUCanvas* _input_canvas;
    GRF::GPUCanvas* _output_canvas;
    GRF::GPUCanvas* _sr_canvas;
    GRF::GPUCanvas* _smooth_canvas;
    bool _canvases_ready;
    std::shared_ptr<GRF::GPUTexture> _input_texture2D;
    GRF::GPUTexture* _output_texture;
    GRF::GPUTexture* _smooth_texture;
    GRF::GPUTexture* _input_copy_texture;
    GRF::GPUTexture* _bilateral_texture;
    GRF::Matrix4x4<float> _tex_mat;
    std::atomic<bool> _enable_sr;
    std::atomic<bool> _sr_enabled_status;
    void* _platform_handle;
    std::string _gl_renderer;
    std::string _gl_vendor;
    std::string _gl_version;
    int _gl_major_version;
    int _gl_minor_version;
    int _video_width;
    int _video_height;
    std::string _config_dir;
    std::string _config_path;
    bool _priority_eq0;
    bool _priority_eq2;
    bool _priority_eq3;
    float _scale;
    int _fast_sr_mode;
    bool _enable_fast_sr_smooth;
    bool _enable_face_protection;
    float _usm_sharpness;
    float _sigma_s;
    float _sigma_r;
    int _sr_level;
    bool _enable_edge_adaptive;
    std::atomic<bool> _sr_status_changed;
    // False when the player gave no configuration directory: configure.ini is then never written.
    bool _has_config_dir;

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
