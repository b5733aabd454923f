// The property table, its enums and the settings record behind it.
#include "VelmoProperties.h"

#include <gst/gst.h>

namespace velmo_gst {
namespace {

enum VelmoProperty {
    PROP_VELMO_0,
    PROP_VELMO_SCALE,
    PROP_VELMO_LEVEL,
    PROP_VELMO_SHARPNESS,
    PROP_VELMO_SMOOTH,
    PROP_VELMO_SIGMA_S,
    PROP_VELMO_SIGMA_R,
    PROP_VELMO_PRIORITY,
    PROP_VELMO_EDGE_ADAPTIVE,
    PROP_VELMO_FACE_PROTECTION,
    PROP_VELMO_CONFIG_DIR,
};

// The scale's range: above 0, so that frame sizes with an output exist, and up to three passes of
// 2x, which keeps a 1080p frame's output inside the 16384-pixel textures that common drivers take.
constexpr float kMinScale = 0.01f;
constexpr float kMaxScale = 8.0f;

// The enums of both elements, registered under velmoupscale's type names.
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

} // namespace

void install_velmo_properties(GObjectClass* object_class, const char* config_dir_blurb)
{
    const VelmoSettings defaults;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        object_class, PROP_VELMO_SCALE,
        g_param_spec_float("scale", "Scale",
                           "Output size = input size x scale, each side truncated to whole pixels but at least one "
                           "(takes effect at the next frame, the output caps change with it); above 2 in several "
                           "velmo passes, only the last one sharpening",
                           kMinScale, kMaxScale, defaults.scale, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_LEVEL,
        g_param_spec_enum("level", "Sharpening level",
                          "Sharpening: 1 strong (2.0), 2 medium (1.5), 3 light (1.0); 0 uses the sharpness property "
                          "(setting sharpness sets 0)",
                          level_type(), defaults.level, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_SHARPNESS,
        g_param_spec_float("sharpness", "Sharpness", "Sharpening strength used at level 0; setting it selects level 0",
                           0.0f, 4.0f, defaults.sharpness, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_SMOOTH,
        g_param_spec_boolean("smooth", "Smooth skin", "Smooth skin tones before upscaling", defaults.smooth, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_SIGMA_S,
        g_param_spec_float("sigma-s", "Smoothing spatial sigma", "How far the skin smoothing reaches, in pixels",
                           0.25f, 3.0f, defaults.sigma_s, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_SIGMA_R,
        g_param_spec_float("sigma-r", "Smoothing range sigma",
                           "How different two skin colours may be and still be smoothed together", 0.25f, 3.0f,
                           defaults.sigma_r, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_PRIORITY,
        g_param_spec_enum("priority", "Priority",
                          "When velmo upscales: 2 always; 1 only frames larger than 1024x576; 0 or 3 never (a plain "
                          "stretch to the output size)",
                          priority_type(), defaults.priority, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_EDGE_ADAPTIVE,
        g_param_spec_boolean("edge-adaptive", "Edge-adaptive", "Weight the upscaling along edges, so lines stay crisp",
                             defaults.edge_adaptive, flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_FACE_PROTECTION,
        g_param_spec_boolean("face-protection", "Face protection", "Sharpen skin tones less", defaults.face_protection,
                             flags));
    g_object_class_install_property(
        object_class, PROP_VELMO_CONFIG_DIR,
        g_param_spec_string("config-dir", "Configuration folder", config_dir_blurb, nullptr, flags));

    gst_type_mark_as_plugin_api(level_type(), static_cast<GstPluginAPIFlags>(0));
    gst_type_mark_as_plugin_api(priority_type(), static_cast<GstPluginAPIFlags>(0));
}

namespace {

// Sets property `id` of `settings` from `value`; false for an id that is none of velmo's.
// `level_changed` says whether setting the sharpness changed the level to 0.
bool set_setting(VelmoSettings& settings, guint id, const GValue* value, bool& level_changed)
{
    level_changed = false;
    switch (id) {
    case PROP_VELMO_SCALE:
        settings.scale = g_value_get_float(value);
        return true;
    case PROP_VELMO_LEVEL:
        settings.level = g_value_get_enum(value);
        return true;
    case PROP_VELMO_SHARPNESS:
        settings.sharpness = g_value_get_float(value);
        level_changed = settings.level != 0;
        settings.level = 0;
        return true;
    case PROP_VELMO_SMOOTH:
        settings.smooth = g_value_get_boolean(value);
        return true;
    case PROP_VELMO_SIGMA_S:
        settings.sigma_s = g_value_get_float(value);
        return true;
    case PROP_VELMO_SIGMA_R:
        settings.sigma_r = g_value_get_float(value);
        return true;
    case PROP_VELMO_PRIORITY:
        settings.priority = g_value_get_enum(value);
        return true;
    case PROP_VELMO_EDGE_ADAPTIVE:
        settings.edge_adaptive = g_value_get_boolean(value);
        return true;
    case PROP_VELMO_FACE_PROTECTION:
        settings.face_protection = g_value_get_boolean(value);
        return true;
    case PROP_VELMO_CONFIG_DIR: {
        const char* folder = g_value_get_string(value);
        settings.config_dir = folder ? folder : "";
        return true;
    }
    default:
        return false;
    }
}

// Reads property `id` of `settings` into `value`; false for an id that is none of velmo's.
bool get_setting(const VelmoSettings& settings, guint id, GValue* value)
{
    switch (id) {
    case PROP_VELMO_SCALE:
        g_value_set_float(value, settings.scale);
        return true;
    case PROP_VELMO_LEVEL:
        g_value_set_enum(value, settings.level);
        return true;
    case PROP_VELMO_SHARPNESS:
        g_value_set_float(value, settings.sharpness);
        return true;
    case PROP_VELMO_SMOOTH:
        g_value_set_boolean(value, settings.smooth);
        return true;
    case PROP_VELMO_SIGMA_S:
        g_value_set_float(value, settings.sigma_s);
        return true;
    case PROP_VELMO_SIGMA_R:
        g_value_set_float(value, settings.sigma_r);
        return true;
    case PROP_VELMO_PRIORITY:
        g_value_set_enum(value, settings.priority);
        return true;
    case PROP_VELMO_EDGE_ADAPTIVE:
        g_value_set_boolean(value, settings.edge_adaptive);
        return true;
    case PROP_VELMO_FACE_PROTECTION:
        g_value_set_boolean(value, settings.face_protection);
        return true;
    case PROP_VELMO_CONFIG_DIR:
        g_value_set_string(value, settings.config_dir.empty() ? nullptr : settings.config_dir.c_str());
        return true;
    default:
        return false;
    }
}

} // namespace

void set_velmo_property(GstBaseTransform* element, VelmoSettings& settings, guint id, const GValue* value,
                        GParamSpec* pspec)
{
    bool level_changed = false;
    GST_OBJECT_LOCK(element);
    bool known = set_setting(settings, id, value, level_changed);
    GST_OBJECT_UNLOCK(element);
    if (!known) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(element, id, pspec);
        return;
    }
    if (level_changed)
        g_object_notify(G_OBJECT(element), "level");
    if (id == PROP_VELMO_SCALE)
        gst_base_transform_reconfigure_src(element);
}

void get_velmo_property(GstBaseTransform* element, const VelmoSettings& settings, guint id, GValue* value,
                        GParamSpec* pspec)
{
    GST_OBJECT_LOCK(element);
    bool known = get_setting(settings, id, value);
    GST_OBJECT_UNLOCK(element);
    if (!known)
        G_OBJECT_WARN_INVALID_PROPERTY_ID(element, id, pspec);
}

VelmoSettings locked_copy(GstBaseTransform* element, const VelmoSettings& settings)
{
    GST_OBJECT_LOCK(element);
    VelmoSettings copy = settings;
    GST_OBJECT_UNLOCK(element);
    return copy;
}

} // namespace velmo_gst
