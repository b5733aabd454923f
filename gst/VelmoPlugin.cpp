// The velmo plugin: registers the velmoupscale element.
#include <gst/gst.h>

#include "GstVelmoUpscale.h"

static gboolean plugin_init(GstPlugin* plugin)
{
    return gst_element_register(plugin, "velmoupscale", GST_RANK_NONE, GST_TYPE_VELMO_UPSCALE);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, velmo, "Video upscaling with velmo on OpenGL ES", plugin_init,
                  VELMO_PLUGIN_VERSION, "MIT/X11", "velmo", VELMO_PACKAGE_ORIGIN)
