// Routes velmo's log records to the element's GStreamer debug category.
#pragma once

namespace velmo_gst {

// Installs velmo's process-wide log handler: from then on every velmo record goes to the
// "velmoupscale" debug category at the GStreamer level matching its own (GST_DEBUG=velmoupscale:5
// shows them all) and none to standard error. The category must be initialised first.
void log_velmo_to_debug_category();

} // namespace velmo_gst
