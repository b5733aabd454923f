// The velmocpuupscale element: a video filter on RGBA system memory that draws each frame with
// velmo's CPU pass through the shared pass plan, its rows spread over the element's own threads.
#include "GstVelmoCpuUpscale.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "ProgressiveOnly.h"
#include "ScaleCaps.h"
#include "VelmoProperties.h"
#include "VelmoSettings.h"
#include "client/BandThreads.h"
#include "client/CpuPasses.h"
#include "client/PassPlan.h"
#include "velmo/velmo_cpu.h"

GST_DEBUG_CATEGORY_STATIC(velmo_cpu_upscale_debug);
#define GST_CAT_DEFAULT velmo_cpu_upscale_debug

struct _GstVelmoCpuUpscale {
    GstVideoFilter parent;

    // Guarded by the object lock: properties are set from any thread.
    velmo_gst::VelmoSettings settings;
    // The scale the current caps were negotiated with; frames are drawn at it until caps change.
    float caps_scale;
    // The streaming thread's own, between start and stop: the band threads and the passes for the
    // current frame size and settings.
    velmo_client::BandThreads* threads;
    velmo_client::CpuPasses* passes;
    velmo_gst::VelmoSettings passes_settings;
};

G_DEFINE_TYPE(GstVelmoCpuUpscale, gst_velmo_cpu_upscale, GST_TYPE_VIDEO_FILTER)

namespace {

// Progressive frames only: velmo would scale the two fields of an interlaced frame woven together,
// so such streams are refused by name (see ProgressiveOnly.h) and need a deinterlacer in front.
constexpr const char* kCaps = "video/x-raw, format=(string)RGBA, width=(int)[1, MAX], height=(int)[1, MAX], "
                              "framerate=(fraction)[0/1, MAX], interlace-mode=(string)progressive";

velmo_gst::VelmoSettings settings_of(GstVelmoCpuUpscale* self)
{
    return velmo_gst::locked_copy(GST_BASE_TRANSFORM(self), self->settings);
}

float scale_of(GstVelmoCpuUpscale* self)
{
    return settings_of(self).scale;
}

void set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    velmo_gst::set_velmo_property(GST_BASE_TRANSFORM(object), GST_VELMO_CPU_UPSCALE(object)->settings, id, value,
                                  pspec);
}

void get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    velmo_gst::get_velmo_property(GST_BASE_TRANSFORM(object), GST_VELMO_CPU_UPSCALE(object)->settings, id, value,
                                  pspec);
}

void drop_passes(GstVelmoCpuUpscale* self)
{
    delete self->passes;
    self->passes = nullptr;
}

void finalize(GObject* object)
{
    GstVelmoCpuUpscale* self = GST_VELMO_CPU_UPSCALE(object);
    drop_passes(self);
    delete self->threads;
    self->settings.~VelmoSettings();
    self->passes_settings.~VelmoSettings();
    G_OBJECT_CLASS(gst_velmo_cpu_upscale_parent_class)->finalize(object);
}

gboolean start(GstBaseTransform* base)
{
    GstVelmoCpuUpscale* self = GST_VELMO_CPU_UPSCALE(base);
    self->threads = new velmo_client::BandThreads(velmo_client::BandThreads::machine_threads());
    GST_INFO_OBJECT(self, "drawing bands on %d threads", self->threads->count());
    return TRUE;
}

gboolean stop(GstBaseTransform* base)
{
    GstVelmoCpuUpscale* self = GST_VELMO_CPU_UPSCALE(base);
    drop_passes(self);
    delete self->threads;
    self->threads = nullptr;
    return TRUE;
}

GstCaps* transform_caps(GstBaseTransform* base, GstPadDirection direction, GstCaps* caps, GstCaps* filter_caps)
{
    return velmo_gst::transform_scaled_caps(caps, direction, scale_of(GST_VELMO_CPU_UPSCALE(base)), filter_caps);
}

gboolean set_info(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in_info, GstCaps*, GstVideoInfo* out_info)
{
    GstVelmoCpuUpscale* self = GST_VELMO_CPU_UPSCALE(filter);
    auto fits = [&](float scale) {
        return velmo_gst::output_length(GST_VIDEO_INFO_WIDTH(in_info), scale) == GST_VIDEO_INFO_WIDTH(out_info) &&
               velmo_gst::output_length(GST_VIDEO_INFO_HEIGHT(in_info), scale) == GST_VIDEO_INFO_HEIGHT(out_info);
    };
    // The scale may have changed again since these caps were chosen: they then still fit the
    // previous one, and the pending reconfiguration brings caps for the new one.
    float scale = scale_of(self);
    if (fits(scale))
        self->caps_scale = scale;
    else if (!fits(self->caps_scale))
        return FALSE;
    drop_passes(self);
    return TRUE;
}

// The passes for this frame size at the negotiated scale and the current settings, made anew when
// either changed; nullptr when the scale leaves nothing of the frame. Where the scale leaves a side
// below one pixel they draw at the smallest scale that keeps one, as velmoupscale does.
velmo_client::CpuPasses* passes_for(GstVelmoCpuUpscale* self, int width, int height)
{
    velmo_gst::VelmoSettings settings = settings_of(self);
    settings.scale = velmo_gst::drawable_scale(width, height, self->caps_scale);
    if (self->passes && (self->passes->width() != width || self->passes->height() != height ||
                         !settings.draws_like(self->passes_settings)))
        drop_passes(self);
    if (!self->passes) {
        std::vector<float> scales = velmo_client::pass_scales_for_scale(width, height, settings.scale);
        if (scales.empty())
            return nullptr;
        self->passes = new velmo_client::CpuPasses(settings, width, height, scales);
        self->passes_settings = settings;
        GST_INFO_OBJECT(self, "%zu pass(es) for %dx%d at scale %g", scales.size(), width, height,
                        static_cast<double>(settings.scale));
    }
    return self->passes;
}

// Draws the passes into the output frame; where they draw another size (a side kept at one pixel),
// into a picture of their own that is then stretched onto the frame.
bool draw_frame(GstVelmoCpuUpscale* self, velmo_client::CpuPasses& passes, GstVideoFrame* in, GstVideoFrame* out)
{
    const auto* source = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(in, 0));
    auto* target = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(out, 0));
    const int source_stride = GST_VIDEO_FRAME_PLANE_STRIDE(in, 0);
    const int target_stride = GST_VIDEO_FRAME_PLANE_STRIDE(out, 0);
    const int width = GST_VIDEO_FRAME_WIDTH(out);
    const int height = GST_VIDEO_FRAME_HEIGHT(out);
    if (passes.output_width() == width && passes.output_height() == height)
        return passes.draw(source, source_stride, target, target_stride, *self->threads);
    velmo_client::RgbaImage drawn(passes.output_width(), passes.output_height());
    if (!passes.draw(source, source_stride, drawn.pixels.data(), drawn.width * 4, *self->threads))
        return false;
    std::atomic<bool> refused{false};
    self->threads->draw(height, [&](int begin, int end) {
        if (kx_velmo::SR_StretchRGBA(drawn.pixels.data(), drawn.width * 4, drawn.width, drawn.height, target,
                                     target_stride, width, height, begin, end) != 0)
            refused = true;
    });
    return !refused;
}

GstFlowReturn transform_frame(GstVideoFilter* filter, GstVideoFrame* in, GstVideoFrame* out)
{
    GstVelmoCpuUpscale* self = GST_VELMO_CPU_UPSCALE(filter);
    int width = GST_VIDEO_FRAME_WIDTH(in);
    int height = GST_VIDEO_FRAME_HEIGHT(in);
    velmo_client::CpuPasses* passes = passes_for(self, width, height);
    if (!passes || !passes->valid() || !draw_frame(self, *passes, in, out)) {
        GST_ELEMENT_ERROR(self, LIBRARY, FAILED, ("velmo could not upscale the frame"),
                          ("a %dx%d frame at scale %g for a %dx%d output buffer", width, height,
                           static_cast<double>(self->caps_scale), GST_VIDEO_FRAME_WIDTH(out),
                           GST_VIDEO_FRAME_HEIGHT(out)));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

} // namespace

static void gst_velmo_cpu_upscale_init(GstVelmoCpuUpscale* self)
{
    new (&self->settings) velmo_gst::VelmoSettings();
    new (&self->passes_settings) velmo_gst::VelmoSettings();
    self->caps_scale = self->settings.scale;
    self->threads = nullptr;
    self->passes = nullptr;
}

static void gst_velmo_cpu_upscale_class_init(GstVelmoCpuUpscaleClass* klass)
{
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
    GstVideoFilterClass* filter_class = GST_VIDEO_FILTER_CLASS(klass);

    GST_DEBUG_CATEGORY_INIT(velmo_cpu_upscale_debug, "velmocpuupscale", 0, "velmo upscaling element on the CPU");

    object_class->set_property = set_property;
    object_class->get_property = get_property;
    object_class->finalize = finalize;
    velmo_gst::install_velmo_properties(object_class,
                                        "Taken for velmoupscale's sake and not used: the CPU pass writes no "
                                        "configure.ini");

    gst_element_class_set_static_metadata(element_class, "velmo upscaler on the CPU", "Filter/Effect/Video/Scaler",
                                          "Upscales video in system memory with velmo's edge-adaptive "
                                          "super-resolution and sharpening on the CPU, no GPU needed",
                                          "velmo");
    GstCaps* caps = gst_caps_from_string(kCaps);
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);

    transform_class->start = start;
    transform_class->stop = stop;
    transform_class->transform_caps = transform_caps;
    velmo_gst::refuse_interlaced_video(transform_class, "velmocpuupscale", velmo_cpu_upscale_debug);
    filter_class->set_info = set_info;
    filter_class->transform_frame = transform_frame;
}
