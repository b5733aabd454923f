// The velmo instances for the stream on GStreamer's GL thread (one per pass, one pass up to 2x):
// created for the frame size and settings, replaced when they change, every frame drawn by velmo
// and copied into the buffer.
#include "VelmoStream.h"

#include "PassPlan.h"
#include "ScaleCaps.h"
#include "client/DrawFrame.h"
#include "velmo/velmo_api.h"

GST_DEBUG_CATEGORY_EXTERN(velmo_upscale_debug);
#define GST_CAT_DEFAULT velmo_upscale_debug

namespace velmo_gst {
namespace {

std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

} // namespace

VelmoStream::VelmoStream(GstGLContext* context)
    : _context(static_cast<GstGLContext*>(gst_object_ref(context)))
{
    _context->gl_vtable->GenFramebuffers(2, _framebuffers);
}

VelmoStream::~VelmoStream()
{
    release();
    _context->gl_vtable->DeleteFramebuffers(2, _framebuffers);
    gst_object_unref(_context);
}

void VelmoStream::release()
{
    for (Pass& pass : _passes)
        velmo_release(pass.instance);
    _passes.clear();
}

std::string VelmoStream::create(const VelmoSettings& settings, int width, int height, const std::vector<float>& scales)
{
    std::string folder = config_folder(settings.config_dir);
    int pass_width = width;
    int pass_height = height;
    bool config_written = true;
    for (size_t i = 0; i < scales.size(); ++i) {
        // Passes before the last draw unsharpened: sharpening each pass would compound.
        VelmoSettings pass_settings = settings;
        if (i + 1 < scales.size()) {
            pass_settings.level = 0;
            pass_settings.sharpness = 0.0f;
        }
        velmo_init_params params = pass_settings.init_params(folder.c_str());
        void* instance = velmo_init(&params);
        if (!instance) {
            release();
            return "velmo_init failed";
        }
        _passes.push_back(Pass{instance, pass_width, pass_height, scales[i]});
        int32_t result = velmo_set_input_props(instance, pass_width, pass_height, scales[i]);
        if (result == VELMO_ERROR_CONFIG_FILE) {
            config_written = false;
        } else if (result != VELMO_OK) {
            release();
            return "velmo_set_input_props refused " + size_text(pass_width, pass_height) + " (result " +
                   std::to_string(result) + ")";
        }
        GST_INFO("new velmo instance for %dx%d at scale %g", pass_width, pass_height, static_cast<double>(scales[i]));
        pass_width = scaled_length(pass_width, scales[i]);
        pass_height = scaled_length(pass_height, scales[i]);
    }
    // The file is for a separate engine; velmo works on without it.
    if (!config_written)
        GST_WARNING("velmo could not write configure.ini into '%s'", folder.c_str());
    _settings = settings;
    _width = width;
    _height = height;
    return {};
}

std::string VelmoStream::rescale(const std::vector<float>& scales)
{
    for (size_t i = 0; i < scales.size(); ++i) {
        Pass& pass = _passes[i];
        if (pass.scale == scales[i])
            continue;
        int32_t result = velmo_set_input_props(pass.instance, pass.width, pass.height, scales[i]);
        if (result != VELMO_OK)
            return "velmo refused the scale " + std::to_string(scales[i]) + " (result " + std::to_string(result) + ")";
        pass.scale = scales[i];
    }
    return {};
}

std::string VelmoStream::process(Pass& pass, GLuint input, velmo_output_frame& out)
{
    velmo_input_frame in = {};
    in.width = pass.width;
    in.height = pass.height;
    in.texid = static_cast<int32_t>(input);
    in.tex_type = 0;
    // Set-up frames go in again until velmo has drawn them, so every buffer leaving the element
    // is velmo's picture.
    const velmo_client::DrawnFrame frame = velmo_client::draw_frame(pass.instance, in);
    out = frame.out;
    return velmo_client::draw_failure(frame);
}

std::string VelmoStream::draw(const VelmoSettings& requested, GLuint input, int width, int height, GLuint output,
                              int output_width, int output_height)
{
    // A scale that leaves a side below one pixel is drawn at the smallest scale that keeps one, and
    // stretched to the output size after.
    VelmoSettings settings = requested;
    settings.scale = drawable_scale(width, height, requested.scale);
    const bool stretched = settings.scale != requested.scale;
    std::vector<float> scales = pass_scales(width, height, settings.scale);
    if (scales.empty())
        return "the scale " + std::to_string(settings.scale) + " leaves nothing of a " + size_text(width, height) +
               " frame";
    // velmo records the frame size and its settings once per instance; only the scale can change
    // on a running one.
    VelmoSettings rescaled = _settings;
    rescaled.scale = settings.scale;
    if (!_passes.empty() && (width != _width || height != _height || scales.size() != _passes.size() ||
                             !settings.draws_like(rescaled)))
        release();
    std::string error = _passes.empty() ? create(settings, width, height, scales) : rescale(scales);
    if (!error.empty())
        return error;
    _settings.scale = settings.scale;

    velmo_output_frame out = {};
    GLuint texture = input;
    for (Pass& pass : _passes) {
        error = process(pass, texture, out);
        if (!error.empty())
            return error;
        texture = static_cast<GLuint>(out.texid);
    }
    if (!stretched && (out.width != output_width || out.height != output_height))
        return "velmo drew " + size_text(out.width, out.height) + " for an output buffer of " +
               size_text(output_width, output_height);
    copy(texture, output, out.width, out.height, output_width, output_height);
    return {};
}

void VelmoStream::copy(GLuint source, GLuint target, int width, int height, int target_width, int target_height)
{
    const GstGLFuncs* gl = _context->gl_vtable;
    gl->BindFramebuffer(GL_READ_FRAMEBUFFER, _framebuffers[0]);
    gl->FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, source, 0);
    gl->BindFramebuffer(GL_DRAW_FRAMEBUFFER, _framebuffers[1]);
    gl->FramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    const bool same_size = width == target_width && height == target_height;
    gl->BlitFramebuffer(0, 0, width, height, 0, 0, target_width, target_height, GL_COLOR_BUFFER_BIT,
                        same_size ? GL_NEAREST : GL_LINEAR);
    // Detached again, so neither texture stays referenced by a framebuffer of ours.
    gl->FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    gl->FramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    gl->BindFramebuffer(GL_FRAMEBUFFER, 0);
}

} // namespace velmo_gst
