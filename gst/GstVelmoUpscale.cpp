// The velmoupscale element: a GL filter that hands each RGBA texture to velmo and passes on the
// upscaled frame.
#include "GstVelmoUpscale.h"

#include <new>
#include <string>

#include "ProgressiveOnly.h"
#include "ScaleCaps.h"
#include "VelmoLog.h"
#include "VelmoProperties.h"
#include "VelmoSettings.h"
#include "VelmoStream.h"

GST_DEBUG_CATEGORY(velmo_upscale_debug);
#define GST_CAT_DEFAULT velmo_upscale_debug

struct _GstVelmoUpscale {
    GstGLFilter parent;

    // Guarded by the object lock: properties are set from any thread.
    velmo_gst::VelmoSettings settings;
    // The scale the current caps were negotiated with; velmo draws at it until caps change.
    float caps_scale;
    // Lives on the GL thread, between gl_start and gl_stop.
    velmo_gst::VelmoStream* stream;
    // The GL context's GL_MAX_TEXTURE_SIZE, read in gl_start; 0 before.
    int max_texture_size;
};

G_DEFINE_TYPE(GstVelmoUpscale, gst_velmo_upscale, GST_TYPE_GL_FILTER)

namespace {

// Progressive frames only: velmo would scale the two fields of an interlaced frame woven together,
// so such streams are refused by name (see ProgressiveOnly.h) and need a deinterlacer in front.
constexpr const char* kCaps =
    "video/x-raw(" GST_CAPS_FEATURE_MEMORY_GL_MEMORY "), format=(string)RGBA, width=(int)[1, MAX], "
    "height=(int)[1, MAX], framerate=(fraction)[0/1, MAX], texture-target=(string)2D, "
    "interlace-mode=(string)progressive";

velmo_gst::VelmoSettings settings_of(GstVelmoUpscale* self)
{
    return velmo_gst::locked_copy(GST_BASE_TRANSFORM(self), self->settings);
}

float scale_of(GstVelmoUpscale* self)
{
    return settings_of(self).scale;
}

// Whether the GPU takes textures of the output size, once its limit is known; posts the error that
// names the limit when not (velmo could not draw such a frame).
bool output_fits_gpu(GstVelmoUpscale* self)
{
    const GstVideoInfo* out = &GST_GL_FILTER(self)->out_info;
    const int limit = self->max_texture_size;
    if (limit == 0 || (GST_VIDEO_INFO_WIDTH(out) <= limit && GST_VIDEO_INFO_HEIGHT(out) <= limit))
        return true;
    GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                      ("velmoupscale cannot output %dx%d frames: the GPU's texture-size limit "
                       "(GL_MAX_TEXTURE_SIZE) is %d pixels per side; lower the scale",
                       GST_VIDEO_INFO_WIDTH(out), GST_VIDEO_INFO_HEIGHT(out), limit),
                      ("input %dx%d", GST_VIDEO_INFO_WIDTH(&GST_GL_FILTER(self)->in_info),
                       GST_VIDEO_INFO_HEIGHT(&GST_GL_FILTER(self)->in_info)));
    return false;
}

void set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    velmo_gst::set_velmo_property(GST_BASE_TRANSFORM(object), GST_VELMO_UPSCALE(object)->settings, id, value,
                                  pspec);
}

void get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    velmo_gst::get_velmo_property(GST_BASE_TRANSFORM(object), GST_VELMO_UPSCALE(object)->settings, id, value,
                                  pspec);
}

void finalize(GObject* object)
{
    GST_VELMO_UPSCALE(object)->settings.~VelmoSettings();
    G_OBJECT_CLASS(gst_velmo_upscale_parent_class)->finalize(object);
}

// Contexts of an EGL display are EGL contexts, and so are those of an X11 display when the user
// chose EGL; there GStreamer's GL API lets the element ask for OpenGL ES. Elsewhere (GLX) an
// OpenGL ES request would only make the context fail to appear, with a less helpful message
// than the one gl_start gives.
bool display_makes_egl_contexts(GstGLDisplay* display)
{
    if (gst_gl_display_get_handle_type(display) & GST_GL_DISPLAY_TYPE_X11) {
        const char* platform = g_getenv("GST_GL_PLATFORM");
        return platform && g_strstr_len(platform, -1, "egl");
    }
    return true;
}

GstStateChangeReturn change_state(GstElement* element, GstStateChange transition)
{
    GstStateChangeReturn result =
        GST_ELEMENT_CLASS(gst_velmo_upscale_parent_class)->change_state(element, transition);
    GstGLDisplay* display = GST_GL_BASE_FILTER(element)->display;
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && result != GST_STATE_CHANGE_FAILURE && display &&
        display_makes_egl_contexts(display))
        gst_gl_display_filter_gl_api(display, GST_GL_API_GLES2);
    return result;
}

// velmo shares objects with the current context from a context of its own, which it creates
// through EGL with OpenGL ES 3.
gboolean gl_start(GstGLBaseFilter* base)
{
    GstVelmoUpscale* self = GST_VELMO_UPSCALE(base);
    GstGLContext* context = base->context;
    int major = 0;
    int minor = 0;
    gst_gl_context_get_gl_version(context, &major, &minor);
    GstGLPlatform platform = gst_gl_context_get_gl_platform(context);
    GstGLAPI api = gst_gl_context_get_gl_api(context);
    if (!(platform & GST_GL_PLATFORM_EGL) || !(api & GST_GL_API_GLES2) || major < 3) {
        gchar* platform_name = gst_gl_platform_to_string(platform);
        gchar* api_name = gst_gl_api_to_string(api);
        GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS,
                          ("velmoupscale needs an EGL context with OpenGL ES 3, but GStreamer's GL context is "
                           "%s %d.%d on %s; run with GST_GL_PLATFORM=egl GST_GL_API=gles2",
                           api_name, major, minor, platform_name),
                          (nullptr));
        g_free(platform_name);
        g_free(api_name);
        return FALSE;
    }
    GLint max_texture_size = 0;
    context->gl_vtable->GetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_size);
    self->max_texture_size = max_texture_size;
    // The caps were set before the GL context was known: their output size is checked now.
    if (!output_fits_gpu(self))
        return FALSE;
    if (!GST_GL_BASE_FILTER_CLASS(gst_velmo_upscale_parent_class)->gl_start(base))
        return FALSE;
    self->stream = new velmo_gst::VelmoStream(context);
    return TRUE;
}

void gl_stop(GstGLBaseFilter* base)
{
    GstVelmoUpscale* self = GST_VELMO_UPSCALE(base);
    delete self->stream;
    self->stream = nullptr;
    GST_GL_BASE_FILTER_CLASS(gst_velmo_upscale_parent_class)->gl_stop(base);
}

GstCaps* transform_internal_caps(GstGLFilter* filter, GstPadDirection direction, GstCaps* caps, GstCaps* filter_caps)
{
    return velmo_gst::transform_scaled_caps(caps, direction, scale_of(GST_VELMO_UPSCALE(filter)), filter_caps);
}

gboolean set_caps(GstGLFilter* filter, GstCaps*, GstCaps*)
{
    GstVelmoUpscale* self = GST_VELMO_UPSCALE(filter);
    auto fits = [filter](float scale) {
        return velmo_gst::output_length(GST_VIDEO_INFO_WIDTH(&filter->in_info), scale) ==
                   GST_VIDEO_INFO_WIDTH(&filter->out_info) &&
               velmo_gst::output_length(GST_VIDEO_INFO_HEIGHT(&filter->in_info), scale) ==
                   GST_VIDEO_INFO_HEIGHT(&filter->out_info);
    };
    // The scale may have changed again since these caps were chosen: they then still fit the
    // previous one, and the pending reconfiguration brings caps for the new one.
    float scale = scale_of(self);
    if (fits(scale))
        self->caps_scale = scale;
    else if (!fits(self->caps_scale))
        return FALSE;
    return output_fits_gpu(self);
}

struct FrameJob {
    GstVelmoUpscale* self;
    velmo_gst::VelmoSettings settings;
    GstGLMemory* input;
    GstGLMemory* output;
    std::string error;
};

void draw_on_gl_thread(GstGLContext*, gpointer data)
{
    FrameJob* job = static_cast<FrameJob*>(data);
    if (!job->self->stream) {
        job->error = "the element's GL resources are gone";
        return;
    }
    job->error = job->self->stream->draw(
        job->settings, gst_gl_memory_get_texture_id(job->input), gst_gl_memory_get_texture_width(job->input),
        gst_gl_memory_get_texture_height(job->input), gst_gl_memory_get_texture_id(job->output),
        gst_gl_memory_get_texture_width(job->output), gst_gl_memory_get_texture_height(job->output));
}

gboolean filter_texture(GstGLFilter* filter, GstGLMemory* input, GstGLMemory* output)
{
    GstVelmoUpscale* self = GST_VELMO_UPSCALE(filter);
    FrameJob job{self, settings_of(self), input, output, {}};
    job.settings.scale = self->caps_scale;
    gst_gl_context_thread_add(GST_GL_BASE_FILTER(filter)->context, draw_on_gl_thread, &job);
    if (!job.error.empty()) {
        GST_ELEMENT_ERROR(self, LIBRARY, FAILED, ("velmo could not upscale the frame"), ("%s", job.error.c_str()));
        return FALSE;
    }
    return TRUE;
}

} // namespace

static void gst_velmo_upscale_init(GstVelmoUpscale* self)
{
    new (&self->settings) velmo_gst::VelmoSettings();
    self->caps_scale = self->settings.scale;
    self->stream = nullptr;
    self->max_texture_size = 0;
}

static void gst_velmo_upscale_class_init(GstVelmoUpscaleClass* klass)
{
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
    GstGLBaseFilterClass* base_class = GST_GL_BASE_FILTER_CLASS(klass);
    GstGLFilterClass* filter_class = GST_GL_FILTER_CLASS(klass);

    GST_DEBUG_CATEGORY_INIT(velmo_upscale_debug, "velmoupscale", 0, "velmo upscaling element");
    velmo_gst::log_velmo_to_debug_category();

    object_class->set_property = set_property;
    object_class->get_property = get_property;
    object_class->finalize = finalize;

    velmo_gst::install_velmo_properties(object_class,
                                        "Folder where velmo writes configure.ini (default: ~/.cache/velmo)");

    gst_element_class_set_static_metadata(element_class, "velmo upscaler", "Filter/Effect/Video/Scaler",
                                          "Upscales video with velmo's edge-adaptive super-resolution and sharpening "
                                          "on OpenGL ES",
                                          "velmo");
    GstCaps* caps = gst_caps_from_string(kCaps);
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);
    element_class->change_state = change_state;
    velmo_gst::refuse_interlaced_video(transform_class, "velmoupscale", velmo_upscale_debug);

    // Desktop GL contexts are let through here so that gl_start can say what to change.
    base_class->supported_gl_api =
        static_cast<GstGLAPI>(GST_GL_API_GLES2 | GST_GL_API_OPENGL | GST_GL_API_OPENGL3);
    base_class->gl_start = gl_start;
    base_class->gl_stop = gl_stop;
    filter_class->transform_internal_caps = transform_internal_caps;
    filter_class->set_caps = set_caps;
    filter_class->filter_texture = filter_texture;
}
