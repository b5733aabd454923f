// Refusing interlaced video by name in an element that takes progressive frames only.
#pragma once

#include <gst/base/gstbasetransform.h>

namespace velmo_gst {

// What the refusal needs of the element: its name for the error text, its debug category for the
// log, and its parent class, whose handlers answer everything that is not interlaced video.
struct ProgressiveOnly {
    const char* element_name;
    GstDebugCategory* category;
    GstBaseTransformClass* parent;
};

// Interlaced caps are refused by name: the caps event that brings them posts an error saying so
// ("... does not support interlaced video ..."). Upstream sends that event only when its queries
// were answered, so caps queries and accept-caps queries that offer nothing but interlaced video
// are answered as for the same video progressive. Where upstream can also offer progressive video
// (a deinterlacer), the answers stay progressive. Each function is the element's handler of the
// same name in GstBaseTransformClass.
gboolean progressive_only_sink_event(const ProgressiveOnly& element, GstBaseTransform* trans, GstEvent* event);
gboolean progressive_only_accept_caps(const ProgressiveOnly& element, GstBaseTransform* trans,
                                      GstPadDirection direction, GstCaps* caps);
gboolean progressive_only_query(const ProgressiveOnly& element, GstBaseTransform* trans, GstPadDirection direction,
                                GstQuery* query);

} // namespace velmo_gst
