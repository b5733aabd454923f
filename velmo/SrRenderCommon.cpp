// SrRenderCommon: defaults, the input/output texture bookkeeping and the ordered release of GPU objects.
#include "velmo/SrRenderCommon.h"

#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFLog.h"

namespace kx_velmo {

namespace {

template <typename T>
void delete_and_clear(T*& object)
{
    delete object;
    object = nullptr;
}

} // namespace

SrRenderCommon::SrRenderCommon()
    : _vertex_array(nullptr)
    , _copy_draw_call(nullptr)
    , _sr_draw_call(nullptr)
    , _smooth_draw_call(nullptr)
    , _sr_programs_ready(false)
    , _base_ready(false)
    , _sr_programs_built(false)
    , _textures_ready(false)
    , _first_frame_done(false)
    , _input_canvas(nullptr)
    , _output_canvas(nullptr)
    , _sr_canvas(nullptr)
    , _smooth_canvas(nullptr)
    , _canvases_ready(false)
    , _output_texture(nullptr)
    , _smooth_texture(nullptr)
    , _input_copy_texture(nullptr)
    , _bilateral_texture(nullptr)
    , _enable_sr(true)
    , _sr_enabled_status(true)
    , _platform_handle(nullptr)
    , _gl_major_version(-1)
    , _gl_minor_version(-1)
    , _video_width(-1)
    , _video_height(-1)
    , _priority_eq0(true)
    , _priority_eq2(false)
    , _priority_eq3(false)
    , _scale(2.0f)
    , _fast_sr_mode(0)
    , _enable_fast_sr_smooth(false)
    , _enable_face_protection(false)
    , _usm_sharpness(1.5f)
    , _sigma_s(0.8f)
    , _sigma_r(1.0f)
    , _sr_level(2)
    , _enable_edge_adaptive(true)
    , _sr_status_changed(false)
    , _has_config_dir(true)
{
}

SrRenderCommon::~SrRenderCommon() = default;

void SrRenderCommon::set_video_size(int width, int height)
{
    if (_video_width < 0 || _video_height < 0) {
        _video_width = width;
        _video_height = height;
    }
}

void SrRenderCommon::set_enable_sr(bool enable)
{
    _enable_sr.store(enable);
}

void SrRenderCommon::set_sr_enabled_status(bool status)
{
    if (_sr_enabled_status.load() == status)
        return;
    _sr_enabled_status.store(status);
    _sr_status_changed.store(true);
    grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "set_sr_enabled_status", 999, "sr status has changed.\n");
}

void SrRenderCommon::set_input_texid(int texid)
{
    if (texid < 0)
        return;
    _input_texture2D = std::make_shared<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, texid);
}

int SrRenderCommon::gen_output_texid()
{
    if (!_output_texture)
        _output_texture = new GRF::GPUTexture(GRF::GPU_TEXTURE_2D, -1);
    return _output_texture->get_texture_id();
}

void SrRenderCommon::release_tex_and_canvas()
{
    delete_and_clear(_vertex_array);
    delete_and_clear(_copy_draw_call);
    delete_and_clear(_sr_draw_call);
    delete_and_clear(_smooth_draw_call);
    _sr_programs_ready = false;
    _canvases_ready = false;
    _base_ready = false;
    _sr_programs_built = false;
    _textures_ready = false;
    _first_frame_done = false;

    // Canvases first: none may outlive the texture it draws into.
    delete_and_clear(_input_canvas);
    delete_and_clear(_output_canvas);
    delete_and_clear(_sr_canvas);
    delete_and_clear(_smooth_canvas);
    _canvases_ready = false;

    delete_and_clear(_smooth_texture);
    delete_and_clear(_input_copy_texture);
    delete_and_clear(_bilateral_texture);
    _input_texture2D.reset();
    delete_and_clear(_output_texture);
    grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "release_tex_and_canvas", 981,
               "release texture and canvas done.\n");
}

} // namespace kx_velmo
