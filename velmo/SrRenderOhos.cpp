// SrRenderOhos: staged set-up, the upscaling and plain paths, and the caller's EGL state kept intact.
#include "velmo/SrRenderOhos.h"

#include <GLES3/gl3.h>

#include <memory>

#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFGPU/GRFMagicData.h"
#include "grf/GRFLog.h"
#include "grf/GRFMath/GRF2DCrop.h"
#include "velmo/GRFRenderNodeBilateral.h"

namespace kx_velmo {

namespace {

constexpr int kResultSetupStage = -201;

// The EGL state current on the calling thread when the scope began. Once the renderer's context
// has been made current, leaving the scope by any path (a return or an exception such as
// std::bad_alloc) makes the saved state current again.
class CallerEglScope {
public:
    CallerEglScope()
        : _context(eglGetCurrentContext())
        , _display(eglGetCurrentDisplay())
        , _draw(eglGetCurrentSurface(EGL_DRAW))
        , _read(eglGetCurrentSurface(EGL_READ))
    {
    }
    ~CallerEglScope() { restore(); }
    CallerEglScope(const CallerEglScope&) = delete;
    CallerEglScope& operator=(const CallerEglScope&) = delete;

    EGLContext context() const { return _context; }
    EGLDisplay display() const { return _display; }

    // Makes `context` current without surfaces (all drawing goes to framebuffer objects).
    void make_current(EGLDisplay display, EGLContext context)
    {
        _own_display = display;
        _switched = true;
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
    }

    // When the caller had nothing current, the renderer's context is released from the thread.
    void restore()
    {
        if (!_switched)
            return;
        _switched = false;
        if (_display != EGL_NO_DISPLAY)
            eglMakeCurrent(_display, _draw, _read, _context);
        else
            eglMakeCurrent(_own_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }

private:
    EGLContext _context;
    EGLDisplay _display;
    EGLSurface _draw;
    EGLSurface _read;
    EGLDisplay _own_display = EGL_NO_DISPLAY;
    bool _switched = false;
};

// True when a width x height render target fits the current context's texture and viewport limits.
// Without a current context the limits read as 0 and nothing fits.
bool fits_gpu_limits(int width, int height)
{
    GLint max_texture = 0;
    GLint max_viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, max_viewport);
    return width <= max_texture && height <= max_texture && width <= max_viewport[0] && height <= max_viewport[1];
}

// True when the texture was given immutable storage (glTexStorage2D), which cannot be reallocated.
// Asked in the current context; its 2D binding is left as it was.
bool is_immutable_texture(int texid)
{
    GLint previous = 0;
    GLint immutable = GL_FALSE;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texid));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_IMMUTABLE_FORMAT, &immutable);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return immutable != GL_FALSE;
}

// The reciprocal of a size as the shaders expect it: computed in double from the float size.
float reciprocal(int size)
{
    return static_cast<float>(1.0 / static_cast<double>(static_cast<float>(size)));
}

GRF::GRFString copy_fragment_source()
{
    return GRF::GRFString("#version 330\n") + SrRenderCommon::_s_2d_fragment_shader_src;
}

} // namespace

SrRenderOhos::SrRenderOhos(void* handle)
    : SrRenderOhos(nullptr, -1, nullptr)
{
    _platform_handle = handle;
}

SrRenderOhos::SrRenderOhos(void* host_handle, int input_texid, napi_value__* value)
    : GRF::GPUContextAndroid()
    , SrRenderCommon()
    , _host_handle(host_handle)
    , _egl_context(EGL_NO_CONTEXT)
    , _egl_display(EGL_NO_DISPLAY)
    , _napi_value(value)
{
    if (input_texid >= 0)
        _input_texture2D = std::make_shared<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, input_texid);
    _oes_texture = std::make_shared<GRF::GPUTexture>(GRF::GPU_TEXTURE_OES, -1);
    _thread_name = "SrRenderAndroid";
}

SrRenderOhos::~SrRenderOhos()
{
    _oes_texture.reset();
}

void SrRenderOhos::render() {}

int SrRenderOhos::stop_render()
{
    // Framebuffers and vertex arrays belong to the renderer's own context: delete them there.
    CallerEglScope caller;
    const bool own_context = _egl_context != EGL_NO_CONTEXT;
    if (own_context)
        caller.make_current(_egl_display, _egl_context);
    release_tex_and_canvas();
    if (_bilateral_node) {
        _bilateral_node->uninit();
        _bilateral_node.reset();
    }
    if (own_context) {
        caller.restore();
        eglDestroyContext(_egl_display, _egl_context);
    }
    GRF::GRFThread::stop();
    return 0;
}

int SrRenderOhos::render_from_texid(GRF::Matrix4x4<float>& matrix)
{
    CallerEglScope caller;
    if (_egl_context == EGL_NO_CONTEXT) {
        _egl_context = create_gpu_context(caller.context(), caller.display());
        _egl_display = caller.display();
        if (!_egl_context) {
            _egl_context = EGL_NO_CONTEXT;
            grf_log_log(GRF_FILE_BASENAME, "render_from_texid", 102, "create gpu context failed!\n");
            return -2;
        }
    }
    if (_video_height < 1 || _video_width < 1) {
        grf_log_log(GRF_FILE_BASENAME, "render_from_texid", 108, "SrRender input video size invalid, skip render\n");
        return -3;
    }
    // Allocating beyond the limits makes some drivers abort the process; refuse before anything is made.
    if (!fits_gpu_limits(_video_width, _video_height) || !fits_gpu_limits(get_width(), get_height())) {
        grf_log_log(GRF_FILE_BASENAME, "render_from_texid", 110,
                    "SrRender size beyond the GPU limits (video %dx%d, output %dx%d), skip render\n", _video_width,
                    _video_height, get_width(), get_height());
        return -3;
    }
    if (!_input_texture2D) {
        grf_log_log(GRF_FILE_BASENAME, "render_from_texid", 112, "SrRender input texture is null, skip render\n");
        return -4;
    }

    caller.make_current(caller.display(), _egl_context);
    glDisable(GL_DEPTH_TEST);
    _tex_mat = matrix.transpose();

    if (!run_setup_stage()) {
        _first_frame_done = true;
        if (_enable_sr.load() && _fast_sr_mode != 0)
            draw_upscaling_path();
        else
            draw_plain_path();
    }
    caller.restore();
    return _first_frame_done ? 0 : kResultSetupStage;
}

bool SrRenderOhos::run_setup_stage()
{
    if (!_sr_programs_ready) {
        if (!_base_ready) {
            build_base_programs();
            return true;
        }
        if (_fast_sr_mode != 0 && !_sr_programs_built) {
            build_sr_programs();
            return true;
        }
        _sr_programs_ready = true;
    }
    if (!_textures_ready)
        create_textures();
    if (!_canvases_ready) {
        create_canvases();
        return true;
    }
    return false;
}

// Each stage may be cut short by an exception (out of memory) and is then retried by the next call.
// An object is stored in its member only once it is complete, and a stage makes only what its
// members still lack, so a retry neither leaks nor half-configures what the interrupted call made.

void SrRenderOhos::build_base_programs()
{
    if (!_vertex_array) {
        auto vertex_array = std::make_unique<GRF::GPUVertexArray>();
        vertex_array->add_vertex(GRF::GRFMagicData::plane_vertex, 48, 0, 3, 0);
        vertex_array->add_vertex(GRF::GRFMagicData::plane_coor, 48, 1, 3, 0);
        vertex_array->set_index(GRF::GRFMagicData::plane_vertex_index, 24);
        _vertex_array = vertex_array.release();
    }
    if (!_copy_draw_call) {
        auto draw_call = std::make_unique<GRF::GPUDrawCall>(_s_vertex_shader_src, copy_fragment_source());
        draw_call->set_vertex_array(_vertex_array);
        _copy_draw_call = draw_call.release();
    }

    if (const GLubyte* renderer = glGetString(GL_RENDERER))
        _gl_renderer = reinterpret_cast<const char*>(renderer);
    if (const GLubyte* vendor = glGetString(GL_VENDOR))
        _gl_vendor = reinterpret_cast<const char*>(vendor);
    if (const GLubyte* version = glGetString(GL_VERSION))
        _gl_version = reinterpret_cast<const char*>(version);
    glGetIntegerv(GL_MAJOR_VERSION, &_gl_major_version);
    glGetIntegerv(GL_MINOR_VERSION, &_gl_minor_version);
    grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "render_from_texid", 161,
               "gl render %s vendor %s version %s(%d.%d)",
               _gl_renderer.c_str(), _gl_vendor.c_str(), _gl_version.c_str(), _gl_major_version, _gl_minor_version);
    _base_ready = true;
}

void SrRenderOhos::build_sr_programs()
{
    if (!_sr_draw_call) {
        // textureGather needs GLSL ES 3.10; older (or unknown) versions get the single-lookup variant.
        std::unique_ptr<GRF::GPUDrawCall> draw_call;
        if (_gl_major_version == 3 && _gl_minor_version >= 1) {
            draw_call = std::make_unique<GRF::GPUDrawCall>(_s_usm_1pass_vertex_shader_src_310,
                                                           _s_gsr_render_fragment_shader_src);
        } else {
            draw_call = std::make_unique<GRF::GPUDrawCall>(
                _s_usm_1pass_vertex_shader_src, GRF::GRFString("#version 330\n") + _s_gsr_fallback_render_fragment_shader_src);
        }
        draw_call->set_vertex_array(_vertex_array);
        _sr_draw_call = draw_call.release();
    }
    if (_enable_fast_sr_smooth && !_smooth_draw_call) {
        auto draw_call = std::make_unique<GRF::GPUDrawCall>(_s_vertex_shader_src, copy_fragment_source());
        draw_call->set_vertex_array(_vertex_array);
        _smooth_draw_call = draw_call.release();
    }
    _sr_programs_built = true;
}

void SrRenderOhos::create_textures()
{
    if (!_smooth_texture)
        _smooth_texture = new GRF::GPUTexture(GRF::GPU_TEXTURE_2D, -1);
    if (!_input_copy_texture) {
        auto texture = std::make_unique<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, -1);
        texture->set_data(nullptr, _video_width, _video_height, GL_RGBA, GL_UNSIGNED_BYTE);
        _input_copy_texture = texture.release();
    }
    if (!_bilateral_texture) {
        auto texture = std::make_unique<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, -1);
        texture->set_data(nullptr, get_width(), get_height(), GL_RGBA, GL_UNSIGNED_BYTE);
        _bilateral_texture = texture.release();
    }
    _textures_ready = true;
}

namespace {

// A canvas with one draw call, made complete before it is handed out.
GRF::GPUCanvas* new_canvas(const GRF::GPUCanvasParam& param, GRF::GPUTexture* target, GRF::GPUDrawCall* draw_call)
{
    auto canvas = std::make_unique<GRF::GPUCanvas>(param, target);
    canvas->add_draw_call(draw_call);
    return canvas.release();
}

} // namespace

void SrRenderOhos::create_canvases()
{
    GRF::GPUCanvasParam param;
    param.width = _video_width;
    param.height = _video_height;
    param.clear_color[0] = param.clear_color[1] = param.clear_color[2] = param.clear_color[3] = 0.0f;
    if (!_input_canvas)
        _input_canvas = new_canvas(param, _input_copy_texture, _copy_draw_call);

    param.width = get_width();
    param.height = get_height();
    if (!_output_canvas) {
        _output_canvas = new_canvas(param, _output_texture, _copy_draw_call);
        note_output_size(param.width, param.height);
    }

    if (_fast_sr_mode != 0) {
        if (!_sr_canvas) {
            _sr_canvas = new_canvas(param, _output_texture, _sr_draw_call);
            note_output_size(param.width, param.height);
        }
        if (_enable_fast_sr_smooth) {
            param.width = _video_width;
            param.height = _video_height;
            if (!_smooth_canvas) {
                _smooth_texture->set_data(nullptr, get_width(), get_height(), GL_RGBA, GL_UNSIGNED_BYTE);
                _smooth_canvas = new_canvas(param, _smooth_texture, _smooth_draw_call);
            }
            if (!_bilateral_node) {
                auto node = std::make_shared<GRFRenderNodeBilateral>(_video_width, _video_height);
                node->add_input_texture("input_texture", _input_copy_texture);
                node->init();
                _bilateral_node = std::move(node);
            }
            grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "render_from_texid", 315,
                       "init smooth filter set params: sigma_s %f sigma_r %f\n", _sigma_s, _sigma_r);
        }
    }
    _canvases_ready = true;
}

void SrRenderOhos::note_output_size(int width, int height)
{
    _output_texture_width = width;
    _output_texture_height = height;
}

void SrRenderOhos::fit_to_output_size(GRF::GPUCanvas* canvas)
{
    // Both output canvases target the output texture, and attaching reallocates it at the attaching
    // canvas's size: re-attach when this canvas or the texture no longer has the frame's size.
    const int width = get_width();
    const int height = get_height();
    GRF::GPUCanvasParam param = *canvas->get_param();
    if (param.width == width && param.height == height && _output_texture_width == width &&
        _output_texture_height == height)
        return;
    param.width = width;
    param.height = height;
    canvas->set_param(param);
    canvas->set_target_tex(_output_texture);
    note_output_size(width, height);
}

void SrRenderOhos::draw_upscaling_path()
{
    // First: reallocating binds the output texture, which must not disturb the bindings set below.
    fit_to_output_size(_sr_canvas);
    GRF::Matrix4x4<float> identity;

    _copy_draw_call->put_uniform_texture("inputImageTexture", _input_texture2D.get(), 0);
    _copy_draw_call->put_uniform_mat4x4("texMat", _tex_mat, true);
    _copy_draw_call->put_uniform_mat4x4("videoCrop", identity, true);
    _input_canvas->draw();

    if (_enable_fast_sr_smooth) {
        _bilateral_node->set_canvas_width_height(_video_width, _video_height);
        _bilateral_node->set_texel_size(static_cast<float>(_video_width), static_cast<float>(_video_height));
        _bilateral_node->set_params(_sigma_s, _sigma_r);
        _bilateral_node->set_target_tex(_bilateral_texture->get_texture_id());
        _bilateral_node->render();

        _smooth_draw_call->put_uniform_texture("inputImageTexture", _bilateral_texture, 0);
        _smooth_draw_call->put_uniform_mat4x4("texMat", _tex_mat, true);
        _smooth_draw_call->put_uniform_mat4x4("videoCrop", identity, true);
        _smooth_canvas->draw();
        _sr_draw_call->put_uniform_texture("ps0", _smooth_texture, 0);
    } else {
        _sr_draw_call->put_uniform_texture("ps0", _input_copy_texture, 0);
    }

    const float viewport_info[4] = {reciprocal(_video_width), reciprocal(_video_height),
                                    static_cast<float>(_video_width), static_cast<float>(_video_height)};
    _sr_draw_call->put_uniform_mat4x4("texMat", _tex_mat, true);
    _sr_draw_call->put_uniform_mat4x4("videoCrop", identity, true);
    _sr_draw_call->put_uniform_floatvec4("ViewportInfo", viewport_info);
    _sr_draw_call->put_uniform_float("texelWidthOffset", reciprocal(get_width()));
    _sr_draw_call->put_uniform_float("texelHeightOffset", reciprocal(get_height()));
    _sr_draw_call->put_uniform_int("enableEdgeAdaptive", _enable_edge_adaptive ? 1 : 0);
    _sr_draw_call->put_uniform_int("enableBilateralFilter", _enable_fast_sr_smooth ? 1 : 0);
    _sr_draw_call->put_uniform_int("enableFaceProtection", _enable_face_protection ? 1 : 0);
    _sr_draw_call->put_uniform_float("usmSharpness", _usm_sharpness);
    _sr_canvas->draw();
}

void SrRenderOhos::draw_plain_path()
{
    fit_to_output_size(_output_canvas);
    GRF::Matrix4x4<float> placement =
        GRF::GRF2DCrop(static_cast<float>(get_width()), static_cast<float>(get_height()))
            .crop(static_cast<float>(_video_width), static_cast<float>(_video_height), GRF::GRF_CROP_STRETCH);

    _copy_draw_call->put_uniform_texture("inputImageTexture", _input_texture2D.get(), 0);
    _copy_draw_call->put_uniform_mat4x4("texMat", _tex_mat, true);
    _copy_draw_call->put_uniform_mat4x4("videoCrop", placement, true);
    _output_canvas->draw();
}

int SrRenderOhos::get_texture_id() const
{
    return _oes_texture ? _oes_texture->get_texture_id() : -1;
}

int SrRenderOhos::frame_available(GRF::Matrix4x4<float>& matrix)
{
    _tex_mat = matrix.transpose();
    return 0;
}

std::shared_ptr<GRF::GPUTexture>& SrRenderOhos::get_input_texture2D()
{
    return _input_texture2D;
}

int SrRenderOhos::set_output_texid(int texid)
{
    if (texid < 0) {
        grf_log_log(GRF_FILE_BASENAME, "set_output_texid", 830, "Invalid output texid!");
        return -1;
    }
    if (_output_texture && _output_texture->get_texture_id() == texid)
        return 0;
    // Every output size change reallocates the output texture, which immutable storage forbids.
    if (is_immutable_texture(texid)) {
        grf_log_log(GRF_FILE_BASENAME, "set_output_texid", 836, "Immutable output texture %d refused!\n", texid);
        return -1;
    }
    auto texture = std::make_unique<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, texid);
    delete _output_texture;
    _output_texture = texture.release();
    note_output_size(0, 0);

    // Canvases made at set-up still draw into the old, now deleted texture: attach the new one at
    // the current output size, in the renderer's own context, which owns their framebuffers.
    if (_egl_context != EGL_NO_CONTEXT && (_sr_canvas || _output_canvas)) {
        CallerEglScope caller;
        caller.make_current(_egl_display, _egl_context);
        for (GRF::GPUCanvas* canvas : {_sr_canvas, _output_canvas}) {
            if (!canvas)
                continue;
            GRF::GPUCanvasParam param = *canvas->get_param();
            param.width = get_width();
            param.height = get_height();
            canvas->set_param(param);
            canvas->set_target_tex(_output_texture);
        }
        note_output_size(get_width(), get_height());
    }
    return 0;
}

void SrRenderOhos::velmo_notify_update_teximage() {}

} // namespace kx_velmo
