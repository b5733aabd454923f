// The velmoupscale element: a GL filter that hands each RGBA texture to velmo and passes on the
// upscaled frame.
#pragma once

#include <gst/gl/gl.h>

G_BEGIN_DECLS

#define GST_TYPE_VELMO_UPSCALE (gst_velmo_upscale_get_type())
G_DECLARE_FINAL_TYPE(GstVelmoUpscale, gst_velmo_upscale, GST, VELMO_UPSCALE, GstGLFilter)

G_END_DECLS
