// One velmo instance for the stream on GStreamer's GL thread: created for the frame size and
// settings, replaced when they change, every frame drawn by velmo and copied into the buffer.
#include "VelmoStream.h"

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
    if (!_instance)
        return;
    velmo_release(_instance);
    _instance = nullptr;
}

std::string VelmoStream::create(const VelmoSettings& settings, int width, int height)
{
    std::string folder = config_folder(settings.config_dir);
    velmo_init_params params = settings.init_params(folder.c_str());
    _instance = velmo_init(&params);
    if (!_instance)
        return "velmo_init failed";
    int32_t result = velmo_set_input_props(_instance, width, height, settings.scale);
    if (result == VELMO_ERROR_CONFIG_FILE) {
        // The file is for a separate engine; velmo works on without it.
        GST_WARNING("velmo could not write configure.ini into '%s'", folder.c_str());
    } else if (result != VELMO_OK) {
        release();
        return "velmo_set_input_props refused " + size_text(width, height) + " (result " + std::to_string(result) + ")";
    }
    _settings = settings;
    _width = width;
    _height = height;
    GST_INFO("new velmo instance for %dx%d at scale %g", width, height, static_cast<double>(settings.scale));
    return {};
}

std::string VelmoStream::draw(const VelmoSettings& settings, GLuint input, int width, int height, GLuint output,
                              int output_width, int output_height)
{
    // velmo records the frame size and its settings once per instance; only the scale can change
    // on a running one.
    VelmoSettings rescaled = _settings;
    rescaled.scale = settings.scale;
    if (_instance && (width != _width || height != _height || !settings.draws_like(rescaled)))
        release();
    if (!_instance) {
        std::string error = create(settings, width, height);
        if (!error.empty())
            return error;
    } else if (settings.scale != _settings.scale) {
        int32_t result = velmo_set_input_props(_instance, width, height, settings.scale);
        if (result != VELMO_OK)
            return "velmo refused the scale " + std::to_string(settings.scale) + " (result " +
                   std::to_string(result) + ")";
        _settings.scale = settings.scale;
    }

    velmo_input_frame in = {};
    in.width = width;
    in.height = height;
    in.texid = static_cast<int32_t>(input);
    in.tex_type = 0;
    // Set-up frames go in again until velmo has drawn them, so every buffer leaving the element
    // is velmo's picture.
    const velmo_client::DrawnFrame frame = velmo_client::draw_frame(_instance, in);
    if (!frame.drawn)
        return velmo_client::draw_failure(frame);
    const velmo_output_frame& out = frame.out;
    if (out.width != output_width || out.height != output_height)
        return "velmo drew " + size_text(out.width, out.height) + " for an output buffer of " +
               size_text(output_width, output_height);
    copy(static_cast<GLuint>(out.texid), output, out.width, out.height);
    return {};
}

void VelmoStream::copy(GLuint source, GLuint target, int width, int height)
{
    const GstGLFuncs* gl = _context->gl_vtable;
    gl->BindFramebuffer(GL_READ_FRAMEBUFFER, _framebuffers[0]);
    gl->FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, source, 0);
    gl->BindFramebuffer(GL_DRAW_FRAMEBUFFER, _framebuffers[1]);
    gl->FramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    gl->BlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    // Detached again, so neither texture stays referenced by a framebuffer of ours.
    gl->FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    gl->FramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    gl->BindFramebuffer(GL_FRAMEBUFFER, 0);
}

} // namespace velmo_gst
