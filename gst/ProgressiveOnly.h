// Refusing interlaced video by name in an element that takes progressive frames only.
#pragma once

#include <gst/base/gstbasetransform.h>

namespace velmo_gst {

// Has the elements of `klass` refuse interlaced caps by name: the caps event that brings them
// posts an error saying so ("<element_name> does not support interlaced video ..."), logged in
// `category`. Upstream sends that event only when its queries were answered, so caps queries and
// accept-caps queries that offer nothing but interlaced video are answered as for the same video
// progressive. Where upstream can also offer progressive video (a deinterlacer), the answers stay
// progressive. Installs the class's sink_event, accept_caps and query, which leave everything else
// to the parent class; call from class_init, after the category is initialised.
void refuse_interlaced_video(GstBaseTransformClass* klass, const char* element_name, GstDebugCategory* category);

} // namespace velmo_gst
