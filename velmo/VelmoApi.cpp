// The C interface: argument checks, settings, configure.ini and one frame through the renderer.
#include "velmo/velmo_api.h"

#include <EGL/egl.h>
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "grf/GRFLog.h"
#include "grf/GRFMath/Matrix.h"
#include "velmo/EngineConfigFile.h"
#include "velmo/SrRenderOhos.h"

using kx_velmo::SrRenderOhos;

namespace {

const std::string kVersion = VELMO_VERSION_STRING;

// A NaN sigma, which no bound catches, keeps the smoothing's default.
float clamp_sigma(float sigma, float default_sigma)
{
    if (std::isnan(sigma))
        return default_sigma;
    if (sigma < 0.25f)
        return 0.25f;
    if (sigma > 3.0f)
        return 3.0f;
    return sigma;
}

// An output dimension: size x scale in single precision, truncated toward zero. False, with a
// result of 0, when that is below one pixel or beyond the int range (where the conversion itself
// would be undefined).
bool scaled_size(int32_t size, float scale, int32_t& result)
{
    const float product = static_cast<float>(size) * scale;
    if (!(product >= 1.0f && product < 2147483648.0f)) {
        result = 0;
        return false;
    }
    result = static_cast<int32_t>(product);
    return true;
}

// A flag of the settings record: one byte of which only bit 0 counts. Read as a byte, since a
// caller may leave other bits set, which is no valid bool value.
bool flag_bit(const bool& flag)
{
    unsigned char byte = 0;
    std::memcpy(&byte, &flag, 1);
    return (byte & 1u) != 0;
}

// Creating a texture leaves its target unbound on the current context's active unit. The two
// textures an instance creates in the caller's context (the external-image texture at init, the
// output texture on the first frame) would so unbind whatever the caller had bound there; this
// puts the caller's binding back.
class KeptTextureBinding {
public:
    KeptTextureBinding(GLenum target, GLenum binding)
        : _target(target)
    {
        glGetIntegerv(binding, &_texture);
    }
    ~KeptTextureBinding() { glBindTexture(_target, static_cast<GLuint>(_texture)); }
    KeptTextureBinding(const KeptTextureBinding&) = delete;
    KeptTextureBinding& operator=(const KeptTextureBinding&) = delete;

private:
    GLenum _target;
    GLint _texture = 0;
};

// The instance's output texture name, created in the caller's context on first use.
int32_t output_texid(SrRenderOhos* sr)
{
    if (sr->_output_texture)
        return sr->gen_output_texid();
    KeptTextureBinding kept(GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D);
    return sr->gen_output_texid();
}

SrRenderOhos* renderer(void* instance)
{
    return static_cast<SrRenderOhos*>(instance);
}

// The scales velmo_set_input_props takes: [0, 2], written so that NaN fails the test as well.
bool scale_accepted(float scale)
{
    return scale >= 0.0f && scale <= 2.0f;
}

int32_t set_input_props(SrRenderOhos* sr, int32_t width, int32_t height, float scale)
{
    if (!scale_accepted(scale)) {
        grf_log_log(GRF_FILE_BASENAME, "velmo_set_input_props", 158, "The scale factor is out of range\n");
        return VELMO_ERROR_SCALE;
    }
    sr->_scale = scale;
    // Once a size is recorded the size arguments are not looked at.
    if (sr->_video_width > 0 && sr->_video_height > 0)
        return VELMO_OK;
    // A zero or negative size would be recorded for good and leave the instance unable to draw.
    if (width <= 0 || height <= 0)
        return VELMO_ERROR_VIDEO_SIZE;

    sr->set_video_size(width, height);
    sr->_fast_sr_mode = kx_velmo::choose_fast_sr_mode(sr->_fast_sr_mode, width, height, sr->_priority_eq0,
                                                      sr->_priority_eq2, sr->_priority_eq3);
    const std::string text = kx_velmo::engine_config_text(sr->_video_width, sr->_video_height);
    const kx_velmo::ConfigWriteResult written = sr->_has_config_dir
        ? kx_velmo::write_engine_config(sr->_config_dir, text, sr->_config_path)
        : kx_velmo::ConfigWriteResult::open_failed;
    switch (written) {
    case kx_velmo::ConfigWriteResult::open_failed:
        grf_log_log(GRF_FILE_BASENAME, "velmo_set_input_props", 230, "open configure.ini failed\n");
        return VELMO_ERROR_CONFIG_FILE;
    case kx_velmo::ConfigWriteResult::write_failed:
        grf_log_log(GRF_FILE_BASENAME, "velmo_set_input_props", 233, "write configure.ini failed\n");
        return VELMO_ERROR_CONFIG_FILE;
    case kx_velmo::ConfigWriteResult::written:
        break;
    }
    grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "velmo_set_input_props", 239,
               "velmo set props: width: %d, height: %d, scale: %d, render: _fast_sr_mode: %d \n", width, height,
               static_cast<int>(scale), sr->_fast_sr_mode);
    return VELMO_OK;
}

int32_t process(SrRenderOhos* sr, const velmo_input_frame* in, velmo_output_frame* out)
{
    if (in->tex_type != 0 && in->tex_type != 1)
        return VELMO_OK;
    // Without a current context there is nothing to share textures with, nor to create them in.
    if (eglGetCurrentContext() == EGL_NO_CONTEXT)
        return VELMO_ERROR_GPU_CONTEXT;
    sr->set_input_texid(in->texid);

    // Filled here and copied out only on return: when memory runs out, `out` stays untouched.
    velmo_output_frame frame = {0, 0, output_texid(sr)};
    const bool width_fits = scaled_size(in->width, sr->_scale, frame.width);
    const bool height_fits = scaled_size(in->height, sr->_scale, frame.height);
    // Nothing can be drawn into an empty or unrepresentable output.
    if (!width_fits || !height_fits) {
        *out = frame;
        return VELMO_ERROR_VIDEO_SIZE;
    }

    sr->set_width_height(frame.width, frame.height);
    GRF::Matrix4x4<float> identity;
    int32_t result = sr->render_from_texid(identity);
    if (result == -201) {
        // The caller shows its own frame meanwhile: the texture the renderer holds as its input,
        // which is the previous frame's when this one came without a texture.
        frame.texid = sr->get_input_texture2D()->get_texture_id();
        result = VELMO_OK;
    }
    *out = frame;
    return result;
}

} // namespace

extern "C" {

VELMO_API const char* velmo_version(void)
{
    return kVersion.c_str();
}

VELMO_API void* velmo_init(const velmo_init_params* params)
{
    if (!params)
        return nullptr;
    try {
        grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "velmo_init", 85,
                   "velmo_init version: %s priority: %d sr_level: %d enable_edge_adaptive: %d enable_fast_sr_smooth: "
                   "%d enable_face_protection: %d\n",
                   kVersion.c_str(), params->priority, params->sr_level, flag_bit(params->enable_edge_adaptive) ? 1 : 0,
                   flag_bit(params->enable_fast_sr_smooth) ? 1 : 0, flag_bit(params->enable_face_protection) ? 1 : 0);
        // Owned here until every setting is copied: an allocation failure on the way frees it.
        std::unique_ptr<SrRenderOhos> instance;
        {
            KeptTextureBinding kept(GL_TEXTURE_EXTERNAL_OES, GL_TEXTURE_BINDING_EXTERNAL_OES);
            instance = std::make_unique<SrRenderOhos>(nullptr);
        }
        SrRenderOhos* sr = instance.get();
        // Without a directory configure.ini is treated as unwritable.
        sr->_has_config_dir = params->config_dir != nullptr;
        sr->_config_dir = params->config_dir ? params->config_dir : "";
        sr->_priority_eq0 = params->priority == 0;
        sr->_priority_eq2 = params->priority == 2;
        sr->_priority_eq3 = params->priority == 3;
        sr->_sr_level = params->sr_level;
        switch (params->sr_level) {
        case 1: sr->_usm_sharpness = 2.0f; break;
        case 2: sr->_usm_sharpness = 1.5f; break;
        case 3: sr->_usm_sharpness = 1.0f; break;
        // A NaN or infinite sharpness would blacken every frame: it counts as an unknown level.
        case 0:
            if (std::isfinite(params->custom_sharpness))
                sr->_usm_sharpness = params->custom_sharpness;
            break;
        default: break;
        }
        sr->_sigma_s = clamp_sigma(params->sigma_s, sr->_sigma_s);
        sr->_sigma_r = clamp_sigma(params->sigma_r, sr->_sigma_r);
        sr->_enable_edge_adaptive = flag_bit(params->enable_edge_adaptive);
        sr->_enable_fast_sr_smooth = flag_bit(params->enable_fast_sr_smooth);
        sr->_enable_face_protection = flag_bit(params->enable_face_protection);
        return instance.release();
    } catch (...) {
        return nullptr;
    }
}

VELMO_API int32_t velmo_set_input_props(void* instance, int32_t width, int32_t height, float scale)
{
    if (!instance)
        return VELMO_ERROR_INVALID_ARGUMENT;
    try {
        return set_input_props(renderer(instance), width, height, scale);
    } catch (...) {
        return VELMO_ERROR_CONFIG_FILE;
    }
}

VELMO_API int32_t velmo_process(void* instance, const velmo_input_frame* in, velmo_output_frame* out)
{
    if (!instance || !in || !out)
        return VELMO_ERROR_INVALID_ARGUMENT;
    try {
        return process(renderer(instance), in, out);
    } catch (...) {
        return VELMO_ERROR_GPU_CONTEXT;
    }
}

VELMO_API int32_t velmo_default_params(velmo_init_params* params)
{
    if (!params)
        return VELMO_ERROR_INVALID_ARGUMENT;
    *params = velmo_init_params{};
    params->config_dir = nullptr;
    params->priority = 2;
    params->sr_level = 2;
    params->custom_sharpness = 1.5f;
    params->enable_edge_adaptive = true;
    params->enable_fast_sr_smooth = false;
    params->enable_face_protection = false;
    params->sigma_s = 0.8f;
    params->sigma_r = 1.0f;
    return VELMO_OK;
}

VELMO_API int32_t velmo_output_size(int32_t width, int32_t height, float scale, int32_t* out_width,
                                    int32_t* out_height)
{
    if (!out_width || !out_height)
        return VELMO_ERROR_INVALID_ARGUMENT;
    *out_width = 0;
    *out_height = 0;
    if (!scale_accepted(scale))
        return VELMO_ERROR_SCALE;
    int32_t w = 0;
    int32_t h = 0;
    if (!scaled_size(width, scale, w) || !scaled_size(height, scale, h))
        return VELMO_ERROR_VIDEO_SIZE;
    *out_width = w;
    *out_height = h;
    return VELMO_OK;
}

VELMO_API const char* velmo_result_string(int32_t code)
{
    switch (code) {
    case VELMO_OK: return "success";
    case VELMO_ERROR_CONFIG_FILE: return "configure.ini could not be written";
    case VELMO_ERROR_GPU_CONTEXT: return "no current EGL context, or the instance's GPU context could not be created";
    case VELMO_ERROR_VIDEO_SIZE: return "no valid video size, or an output size that cannot be drawn";
    case VELMO_ERROR_NO_TEXTURE: return "no input texture";
    case VELMO_ERROR_INVALID_ARGUMENT: return "invalid argument";
    case VELMO_ERROR_SCALE: return "scale factor out of range";
    default: return "unknown result code";
    }
}

VELMO_API int32_t velmo_release(void* instance)
{
    if (!instance)
        return VELMO_OK;
    SrRenderOhos* sr = renderer(instance);
    try {
        grf_log_at(GRFLogLevel::info, GRF_FILE_BASENAME, "velmo_release", 292, "velmo_release\n");
        sr->stop_render();
    } catch (...) {
        // Nothing is allowed to cross the C interface; destruction below frees what is left.
    }
    delete sr;
    return VELMO_OK;
}

} // extern "C"
