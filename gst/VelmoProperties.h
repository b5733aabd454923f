// velmo's settings as GObject properties (scale, level, sharpness, smooth, sigma-s, sigma-r,
// priority, edge-adaptive, face-protection, config-dir), with level and priority as GEnums so
// that gst-launch takes their names as well as velmo's numbers.
#pragma once

#include <gst/base/gstbasetransform.h>

#include "VelmoSettings.h"

namespace velmo_gst {

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
