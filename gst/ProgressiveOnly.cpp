// Interlaced caps recognised, answered for as progressive, and refused with a named error.
#include "ProgressiveOnly.h"

#include <cstring>

namespace velmo_gst {
namespace {

// What the handlers need of the element: its name for the error text, its debug category for the
// log, and its parent class, whose handlers answer everything that is not interlaced video.
struct ProgressiveOnly {
    const char* element_name;
    GstDebugCategory* category;
    GstBaseTransformClass* parent;
};

// Where refuse_interlaced_video keeps each element type's ProgressiveOnly.
GQuark progressive_only_quark()
{
    static const GQuark quark = g_quark_from_static_string("velmo-progressive-only");
    return quark;
}

// The ProgressiveOnly of `trans`'s type, or of the nearest type above it that has one.
const ProgressiveOnly& progressive_only_of(GstBaseTransform* trans)
{
    GType type = G_TYPE_FROM_INSTANCE(trans);
    gpointer found = nullptr;
    while (!(found = g_type_get_qdata(type, progressive_only_quark())))
        type = g_type_parent(type);
    return *static_cast<const ProgressiveOnly*>(found);
}

// The interlace mode `caps` ask for when every structure asks for one other than progressive (the
// caps of interlaced video); nullptr otherwise.
const char* interlaced_mode(GstCaps* caps)
{
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return nullptr;
    const char* mode = nullptr;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        mode = gst_structure_get_string(gst_caps_get_structure(caps, i), "interlace-mode");
        if (!mode || std::strcmp(mode, "progressive") == 0)
            return nullptr;
    }
    return mode;
}

// The same caps asking for progressive frames.
GstCaps* as_progressive(GstCaps* caps)
{
    GstCaps* progressive = gst_caps_copy(caps);
    for (guint i = 0; i < gst_caps_get_size(progressive); ++i)
        gst_structure_set(gst_caps_get_structure(progressive, i), "interlace-mode", G_TYPE_STRING, "progressive",
                          nullptr);
    return progressive;
}

// Posts the error that names interlaced video as the reason, logged in the element's category as
// GST_ELEMENT_ERROR logs its errors.
gboolean refuse_interlaced(const ProgressiveOnly& element, GstBaseTransform* trans, GstCaps* caps)
{
    gchar* text = g_strdup_printf("%s does not support interlaced video (interlace-mode %s): it takes progressive "
                                  "frames only; put a deinterlacer in front of it, for example deinterlace",
                                  element.element_name, interlaced_mode(caps));
    gchar* debug = gst_info_strdup_printf("refused caps %" GST_PTR_FORMAT, caps);
    GST_CAT_WARNING_OBJECT(element.category, trans, "error: %s", text);
    GST_CAT_WARNING_OBJECT(element.category, trans, "error: %s", debug);
    gst_element_message_full(GST_ELEMENT(trans), GST_MESSAGE_ERROR, GST_STREAM_ERROR, GST_STREAM_ERROR_FORMAT, text,
                             debug, __FILE__, GST_FUNCTION, __LINE__);
    return FALSE;
}

gboolean sink_event(GstBaseTransform* trans, GstEvent* event)
{
    const ProgressiveOnly& element = progressive_only_of(trans);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        if (interlaced_mode(caps)) {
            const gboolean result = refuse_interlaced(element, trans, caps);
            gst_event_unref(event);
            return result;
        }
    }
    return element.parent->sink_event(trans, event);
}

gboolean accept_caps(GstBaseTransform* trans, GstPadDirection direction, GstCaps* caps)
{
    const ProgressiveOnly& element = progressive_only_of(trans);
    if (direction != GST_PAD_SINK || !interlaced_mode(caps))
        return element.parent->accept_caps(trans, direction, caps);
    GstCaps* progressive = as_progressive(caps);
    const gboolean accepted = element.parent->accept_caps(trans, direction, progressive);
    gst_caps_unref(progressive);
    return accepted;
}

gboolean handle_query(GstBaseTransform* trans, GstPadDirection direction, GstQuery* query)
{
    const ProgressiveOnly& element = progressive_only_of(trans);
    GstCaps* filter = nullptr;
    if (direction == GST_PAD_SINK && GST_QUERY_TYPE(query) == GST_QUERY_CAPS)
        gst_query_parse_caps(query, &filter);
    const char* mode = interlaced_mode(filter);
    if (!mode)
        return element.parent->query(trans, direction, query);
    GST_CAT_DEBUG_OBJECT(element.category, trans,
                         "upstream offers interlaced video only (interlace-mode %s), which is not supported", mode);
    GstCaps* progressive = as_progressive(filter);
    GstQuery* progressive_query = gst_query_new_caps(progressive);
    gst_caps_unref(progressive);
    const gboolean answered = element.parent->query(trans, direction, progressive_query);
    GstCaps* result = nullptr;
    if (answered)
        gst_query_parse_caps_result(progressive_query, &result);
    if (result) {
        GstCaps* any_mode = gst_caps_copy(result);
        for (guint i = 0; i < gst_caps_get_size(any_mode); ++i)
            gst_structure_remove_field(gst_caps_get_structure(any_mode, i), "interlace-mode");
        GstCaps* answer = gst_caps_intersect_full(filter, any_mode, GST_CAPS_INTERSECT_FIRST);
        gst_query_set_caps_result(query, answer);
        gst_caps_unref(answer);
        gst_caps_unref(any_mode);
    }
    gst_query_unref(progressive_query);
    return answered;
}

} // namespace

void refuse_interlaced_video(GstBaseTransformClass* klass, const char* element_name, GstDebugCategory* category)
{
    // Lives as long as the type, which a plugin never unregisters.
    auto* element = new ProgressiveOnly{element_name, category,
                                        GST_BASE_TRANSFORM_CLASS(g_type_class_peek_parent(klass))};
    g_type_set_qdata(G_TYPE_FROM_CLASS(klass), progressive_only_quark(), element);
    klass->sink_event = sink_event;
    klass->accept_caps = accept_caps;
    klass->query = handle_query;
}

} // namespace velmo_gst
