// velmo's settings as GObject properties (scale, level, sharpness, smooth, sigma-s, sigma-r,
// priority, edge-adaptive, face-protection, config-dir), with level and priority as GEnums so
// that gst-launch takes their names as well as velmo's numbers.
#pragma once

#include <glib-object.h>

#include "VelmoSettings.h"

namespace velmo_gst {

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

// Installs every property on the class, all mutable while playing; `config_dir_blurb` says what
// the element does with the folder.
void install_velmo_properties(GObjectClass* object_class, const char* config_dir_blurb);

// Sets property `id` of `settings` from `value`; false for an id that is none of velmo's. Setting
// the sharpness selects level 0, and `level_changed` says whether that changed the level.
bool set_velmo_property(VelmoSettings& settings, guint id, const GValue* value, bool& level_changed);

// Reads property `id` of `settings` into `value`; false for an id that is none of velmo's.
bool get_velmo_property(const VelmoSettings& settings, guint id, GValue* value);

} // namespace velmo_gst
