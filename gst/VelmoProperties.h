// velmo's settings as GObject properties (scale, level, sharpness, smooth, sigma-s, sigma-r,
// priority, edge-adaptive, face-protection, config-dir), with level and priority as GEnums so
// that gst-launch takes their names as well as velmo's numbers.
#pragma once

#include <gst/base/gstbasetransform.h>

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

// The elements' set_property: sets property `id` of `settings`, the element's record guarded by
// its object lock. Setting the sharpness selects level 0 (and notifies level when that changed
// it); a new scale has the source pad negotiate again before the next frame.
void set_velmo_property(GstBaseTransform* element, VelmoSettings& settings, guint id, const GValue* value,
                        GParamSpec* pspec);

// The elements' get_property: reads property `id` of `settings` under the element's object lock.
void get_velmo_property(GstBaseTransform* element, const VelmoSettings& settings, guint id, GValue* value,
                        GParamSpec* pspec);

// A copy of `settings`, the element's record, taken under its object lock.
VelmoSettings locked_copy(GstBaseTransform* element, const VelmoSettings& settings);

} // namespace velmo_gst
