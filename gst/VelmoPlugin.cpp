// The velmo plugin: registers velmoupscale (OpenGL ES) and velmocpuupscale (system memory, CPU).
#include <gst/gst.h>

#include "GstVelmoCpuUpscale.h"
#include "GstVelmoUpscale.h"

static gboolean plugin_init(GstPlugin* plugin)
{
    return gst_element_register(plugin, "velmoupscale", GST_RANK_NONE, GST_TYPE_VELMO_UPSCALE) &&
           gst_element_register(plugin, "velmocpuupscale", GST_RANK_NONE, GST_TYPE_VELMO_CPU_UPSCALE);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, velmo, "Video upscaling with velmo on OpenGL ES or the CPU", plugin_init,
                  VELMO_PLUGIN_VERSION, "MIT/X11", "velmo", VELMO_PACKAGE_ORIGIN)
