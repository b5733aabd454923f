// The velmocpuupscale element: velmo's upscaling on the CPU for pipelines in system memory, without
// any GL; the same properties and picture as velmoupscale.
#pragma once

#include <gst/video/gstvideofilter.h>

G_BEGIN_DECLS

#define GST_TYPE_VELMO_CPU_UPSCALE (gst_velmo_cpu_upscale_get_type())
G_DECLARE_FINAL_TYPE(GstVelmoCpuUpscale, gst_velmo_cpu_upscale, GST, VELMO_CPU_UPSCALE, GstVideoFilter)

G_END_DECLS
