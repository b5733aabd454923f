// The velmoupscale element: a GL filter that hands each RGBA texture to velmo and passes on the
// upscaled frame.
#include "GstVelmoUpscale.h"

#include <cstring>
#include <new>
#include <string>

#include "ScaleCaps.h"
#include "VelmoLog.h"
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

enum {
    PROP_0,
    PROP_SCALE,
    PROP_LEVEL,
    PROP_SHARPNESS,
    PROP_SMOOTH,
    PROP_SIGMA_S,
    PROP_SIGMA_R,
    PROP_PRIORITY,
    PROP_EDGE_ADAPTIVE,
    PROP_FACE_PROTECTION,
    PROP_CONFIG_DIR,
};

// Progressive frames only: velmo would scale the two fields of an interlaced frame woven together,
// so such streams are refused (see refuse_interlaced) and need a deinterlacer in front.
constexpr const char* kCaps =
    "video/x-raw(" GST_CAPS_FEATURE_MEMORY_GL_MEMORY "), format=(string)RGBA, width=(int)[1, MAX], "
    "height=(int)[1, MAX], framerate=(fraction)[0/1, MAX], texture-target=(string)2D, "
    "interlace-mode=(string)progressive";

const velmo_gst::VelmoSettings kDefaults;

// The scale's range: above 0, so that frame sizes with an output exist, and up to three passes of
// 2x, which keeps a 1080p frame's output inside the 16384-pixel textures that common drivers take.
constexpr float kMinScale = 0.01f;
constexpr float kMaxScale = 8.0f;

// The values of level and priority as enums, so that gst-launch takes their names as well as the
// numbers velmo uses for them.
GType level_type()
{
    static const GEnumValue values[] = {
        {0, "Custom: the strength the sharpness property gives", "custom"},
        {1, "Strong sharpening (2.0)", "strong"},
        {2, "Medium sharpening (1.5)", "medium"},
        {3, "Light sharpening (1.0)", "light"},
        {0, nullptr, nullptr},
    };
    static const GType type = g_enum_register_static("GstVelmoUpscaleLevel", values);
    return type;
}

GType priority_type()
{
    static const GEnumValue values[] = {
        {0, "Never upscale: a plain stretch to the output size", "never"},
        {1, "Upscale only frames larger than 1024x576", "large-frames"},
        {2, "Always upscale", "always"},
        {3, "A plain stretch to the output size, never upscaled (the same as never)", "stretch"},
        {0, nullptr, nullptr},
    };
    static const GType type = g_enum_register_static("GstVelmoUpscalePriority", values);
    return type;
}

velmo_gst::VelmoSettings settings_of(GstVelmoUpscale* self)
{
    GST_OBJECT_LOCK(self);
    velmo_gst::VelmoSettings settings = self->settings;
    GST_OBJECT_UNLOCK(self);
    return settings;
}

float scale_of(GstVelmoUpscale* self)
{
    GST_OBJECT_LOCK(self);
    float scale = self->settings.scale;
    GST_OBJECT_UNLOCK(self);
    return scale;
}

// The interlace mode `caps` ask for when every structure asks for one other than progressive (the
// caps of interlaced video); nullptr otherwise.
const char* interlaced_mode(GstCaps* caps)
{
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return nullptr;
    const char* mode = nullptr;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        mode = gst_structure_get_string(gst_caps_get_structure(caps, i), "interlace-mode");
        if (!mode || std::strcmp(mode, "progressive") == 0)
            return nullptr;
    }
    return mode;
}

// The same caps asking for progressive frames.
GstCaps* as_progressive(GstCaps* caps)
{
    GstCaps* progressive = gst_caps_copy(caps);
    for (guint i = 0; i < gst_caps_get_size(progressive); ++i)
        gst_structure_set(gst_caps_get_structure(progressive, i), "interlace-mode", G_TYPE_STRING, "progressive",
                          nullptr);
    return progressive;
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
    GstVelmoUpscale* self = GST_VELMO_UPSCALE(object);
    bool notify_level = false;
    GST_OBJECT_LOCK(self);
    velmo_gst::VelmoSettings& settings = self->settings;
    switch (id) {
    case PROP_SCALE:
        settings.scale = g_value_get_float(value);
        break;
    case PROP_LEVEL:
        settings.level = g_value_get_enum(value);
        break;
    case PROP_SHARPNESS:
        settings.sharpness = g_value_get_float(value);
        notify_level = settings.level != 0;
        settings.level = 0;
        break;
    case PROP_SMOOTH:
        settings.smooth = g_value_get_boolean(value);
        break;
    case PROP_SIGMA_S:
        settings.sigma_s = g_value_get_float(value);
        break;
    case PROP_SIGMA_R:
        settings.sigma_r = g_value_get_float(value);
        break;
    case PROP_PRIORITY:
        settings.priority = g_value_get_enum(value);
        break;
    case PROP_EDGE_ADAPTIVE:
        settings.edge_adaptive = g_value_get_boolean(value);
        break;
    case PROP_FACE_PROTECTION:
        settings.face_protection = g_value_get_boolean(value);
        break;
    case PROP_CONFIG_DIR: {
        const char* folder = g_value_get_string(value);
        settings.config_dir = folder ? folder : "";
        break;
    }
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        break;
    }
    GST_OBJECT_UNLOCK(self);
    if (notify_level)
        g_object_notify(object, "level");
    // A new scale means a new output size: the source pad negotiates again before the next frame.
    if (id == PROP_SCALE)
        gst_base_transform_reconfigure_src(GST_BASE_TRANSFORM(self));
}

void get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    GstVelmoUpscale* self = GST_VELMO_UPSCALE(object);
    GST_OBJECT_LOCK(self);
    const velmo_gst::VelmoSettings& settings = self->settings;
    switch (id) {
    case PROP_SCALE:
        g_value_set_float(value, settings.scale);
        break;
    case PROP_LEVEL:
        g_value_set_enum(value, settings.level);
        break;
    case PROP_SHARPNESS:
        g_value_set_float(value, settings.sharpness);
        break;
    case PROP_SMOOTH:
        g_value_set_boolean(value, settings.smooth);
        break;
    case PROP_SIGMA_S:
        g_value_set_float(value, settings.sigma_s);
        break;
    case PROP_SIGMA_R:
        g_value_set_float(value, settings.sigma_r);
        break;
    case PROP_PRIORITY:
        g_value_set_enum(value, settings.priority);
        break;
    case PROP_EDGE_ADAPTIVE:
        g_value_set_boolean(value, settings.edge_adaptive);
        break;
    case PROP_FACE_PROTECTION:
        g_value_set_boolean(value, settings.face_protection);
        break;
    case PROP_CONFIG_DIR:
        g_value_set_string(value, settings.config_dir.empty() ? nullptr : settings.config_dir.c_str());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        break;
    }
    GST_OBJECT_UNLOCK(self);
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
    GstCaps* result = velmo_gst::transform_scaled_caps(caps, direction, scale_of(GST_VELMO_UPSCALE(filter)));
    if (filter_caps) {
        GstCaps* intersection = gst_caps_intersect_full(filter_caps, result, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(result);
        result = intersection;
    }
    return result;
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

// Interlaced caps are refused by name: the caps event that brings them posts an error saying so.
// Upstream sends that event only when its queries were answered, so caps queries and accept-caps
// queries that offer nothing but interlaced video are answered as for the same video progressive.
// Where upstream can also offer progressive video (a deinterlacer), the answers stay progressive.
gboolean refuse_interlaced(GstVelmoUpscale* self, GstCaps* caps)
{
    const char* mode = interlaced_mode(caps);
    GST_ELEMENT_ERROR(self, STREAM, FORMAT,
                      ("velmoupscale does not support interlaced video (interlace-mode %s): it takes progressive "
                       "frames only; put a deinterlacer in front of it, for example deinterlace",
                       mode),
                      ("refused caps %" GST_PTR_FORMAT, caps));
    return FALSE;
}

gboolean sink_event(GstBaseTransform* trans, GstEvent* event)
{
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        if (interlaced_mode(caps)) {
            const gboolean result = refuse_interlaced(GST_VELMO_UPSCALE(trans), caps);
            gst_event_unref(event);
            return result;
        }
    }
    return GST_BASE_TRANSFORM_CLASS(gst_velmo_upscale_parent_class)->sink_event(trans, event);
}

gboolean accept_caps(GstBaseTransform* trans, GstPadDirection direction, GstCaps* caps)
{
    GstBaseTransformClass* parent = GST_BASE_TRANSFORM_CLASS(gst_velmo_upscale_parent_class);
    if (direction != GST_PAD_SINK || !interlaced_mode(caps))
        return parent->accept_caps(trans, direction, caps);
    GstCaps* progressive = as_progressive(caps);
    const gboolean accepted = parent->accept_caps(trans, direction, progressive);
    gst_caps_unref(progressive);
    return accepted;
}

gboolean handle_query(GstBaseTransform* trans, GstPadDirection direction, GstQuery* query)
{
    GstBaseTransformClass* parent = GST_BASE_TRANSFORM_CLASS(gst_velmo_upscale_parent_class);
    GstCaps* filter = nullptr;
    if (direction == GST_PAD_SINK && GST_QUERY_TYPE(query) == GST_QUERY_CAPS)
        gst_query_parse_caps(query, &filter);
    const char* mode = interlaced_mode(filter);
    if (!mode)
        return parent->query(trans, direction, query);
    GST_DEBUG_OBJECT(trans, "upstream offers interlaced video only (interlace-mode %s), which is not supported", mode);
    GstCaps* progressive = as_progressive(filter);
    GstQuery* progressive_query = gst_query_new_caps(progressive);
    gst_caps_unref(progressive);
    const gboolean answered = parent->query(trans, direction, progressive_query);
    GstCaps* result = nullptr;
    if (answered)
        gst_query_parse_caps_result(progressive_query, &result);
    if (result) {
        GstCaps* any_mode = gst_caps_copy(result);
        for (guint i = 0; i < gst_caps_get_size(any_mode); ++i)
            gst_structure_remove_field(gst_caps_get_structure(any_mode, i), "interlace-mode");
        GstCaps* answer = gst_caps_intersect_full(filter, any_mode, GST_CAPS_INTERSECT_FIRST);
        gst_query_set_caps_result(query, answer);
        gst_caps_unref(answer);
        gst_caps_unref(any_mode);
    }
    gst_query_unref(progressive_query);
    return answered;
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

// The element's properties, all of them settable while playing.
void install_properties(GObjectClass* object_class)
{
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        object_class, PROP_SCALE,
        g_param_spec_float("scale", "Scale",
                           "Output size = input size x scale, each side truncated to whole pixels but at least one "
                           "(takes effect at "
                           "the next frame, the output caps change with it); above 2 in several velmo passes, "
                           "only the last one sharpening",
                           kMinScale, kMaxScale, kDefaults.scale, flags));
    g_object_class_install_property(
        object_class, PROP_LEVEL,
        g_param_spec_enum("level", "Sharpening level",
                          "Sharpening: 1 strong (2.0), 2 medium (1.5), 3 light (1.0); 0 uses the sharpness property "
                          "(setting sharpness sets 0)",
                          level_type(), kDefaults.level, flags));
    g_object_class_install_property(
        object_class, PROP_SHARPNESS,
        g_param_spec_float("sharpness", "Sharpness",
                           "Sharpening strength used at level 0; setting it selects level 0", 0.0f, 4.0f,
                           kDefaults.sharpness, flags));
    g_object_class_install_property(
        object_class, PROP_SMOOTH,
        g_param_spec_boolean("smooth", "Smooth skin", "Smooth skin tones before upscaling", kDefaults.smooth, flags));
    g_object_class_install_property(
        object_class, PROP_SIGMA_S,
        g_param_spec_float("sigma-s", "Smoothing spatial sigma",
                           "How far the skin smoothing reaches, in pixels", 0.25f, 3.0f, kDefaults.sigma_s, flags));
    g_object_class_install_property(
        object_class, PROP_SIGMA_R,
        g_param_spec_float("sigma-r", "Smoothing range sigma",
                           "How different two skin colours may be and still be smoothed together", 0.25f, 3.0f,
                           kDefaults.sigma_r, flags));
    g_object_class_install_property(
        object_class, PROP_PRIORITY,
        g_param_spec_enum("priority", "Priority",
                          "When velmo upscales: 2 always; 1 only frames larger than 1024x576; 0 or 3 never (a plain "
                          "stretch to the output size)",
                          priority_type(), kDefaults.priority, flags));
    g_object_class_install_property(
        object_class, PROP_EDGE_ADAPTIVE,
        g_param_spec_boolean("edge-adaptive", "Edge-adaptive",
                             "Weight the upscaling along edges, so lines stay crisp", kDefaults.edge_adaptive, flags));
    g_object_class_install_property(
        object_class, PROP_FACE_PROTECTION,
        g_param_spec_boolean("face-protection", "Face protection", "Sharpen skin tones less",
                             kDefaults.face_protection, flags));
    g_object_class_install_property(
        object_class, PROP_CONFIG_DIR,
        g_param_spec_string("config-dir", "Configuration folder",
                            "Folder where velmo writes configure.ini (default: ~/.cache/velmo)", nullptr, flags));
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

    install_properties(object_class);
    gst_type_mark_as_plugin_api(level_type(), static_cast<GstPluginAPIFlags>(0));
    gst_type_mark_as_plugin_api(priority_type(), static_cast<GstPluginAPIFlags>(0));

    gst_element_class_set_static_metadata(element_class, "velmo upscaler", "Filter/Effect/Video/Scaler",
                                          "Upscales video with velmo's edge-adaptive super-resolution and sharpening "
                                          "on OpenGL ES",
                                          "velmo");
    GstCaps* caps = gst_caps_from_string(kCaps);
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);
    element_class->change_state = change_state;
    transform_class->sink_event = sink_event;
    transform_class->accept_caps = accept_caps;
    transform_class->query = handle_query;

    // Desktop GL contexts are let through here so that gl_start can say what to change.
    base_class->supported_gl_api =
        static_cast<GstGLAPI>(GST_GL_API_GLES2 | GST_GL_API_OPENGL | GST_GL_API_OPENGL3);
    base_class->gl_start = gl_start;
    base_class->gl_stop = gl_stop;
    filter_class->transform_internal_caps = transform_internal_caps;
    filter_class->set_caps = set_caps;
    filter_class->filter_texture = filter_texture;
}
