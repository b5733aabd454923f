// GstLogCapture: the velmoupscale category's messages collected through a GStreamer log function.
#include "GstLogCapture.h"

#include <cstring>

namespace velmo_test {

namespace {
constexpr const char* kCategory = "velmoupscale";
}

GstLogCapture::GstLogCapture()
{
    gst_debug_remove_log_function(gst_debug_log_default);
    gst_debug_add_log_function(collect, this, nullptr);
    gst_debug_set_threshold_for_name(kCategory, GST_LEVEL_DEBUG);
    _capturing = true;
}

GstLogCapture::~GstLogCapture()
{
    finish();
}

std::string GstLogCapture::finish()
{
    if (_capturing) {
        gst_debug_unset_threshold_for_name(kCategory);
        gst_debug_remove_log_function(collect);
        gst_debug_add_log_function(gst_debug_log_default, nullptr, nullptr);
        _capturing = false;
    }
    std::string text;
    for (const GstLogMessage& message : messages())
        text += message.text + "\n";
    return text;
}

std::vector<GstLogMessage> GstLogCapture::messages() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _messages;
}

void GstLogCapture::collect(GstDebugCategory* category, GstDebugLevel level, const gchar*, const gchar*, gint,
                            GObject*, GstDebugMessage* message, gpointer user)
{
    if (std::strcmp(gst_debug_category_get_name(category), kCategory) != 0)
        return;
    auto* capture = static_cast<GstLogCapture*>(user);
    const gchar* text = gst_debug_message_get(message);
    std::lock_guard<std::mutex> lock(capture->_mutex);
    capture->_messages.push_back({level, text ? text : ""});
}

} // namespace velmo_test
