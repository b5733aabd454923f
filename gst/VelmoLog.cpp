// velmo's log records as GStreamer debug messages of the velmoupscale category.
#include "VelmoLog.h"

#include <gst/gst.h>

#include <cstring>

#include "velmo/velmo_api.h"

GST_DEBUG_CATEGORY_EXTERN(velmo_upscale_debug);

namespace velmo_gst {
namespace {

GstDebugLevel gstreamer_level(int32_t level)
{
    switch (level) {
    case VELMO_LOG_DEBUG: return GST_LEVEL_DEBUG;
    case VELMO_LOG_INFO: return GST_LEVEL_INFO;
    case VELMO_LOG_WARN: return GST_LEVEL_WARNING;
    default: return GST_LEVEL_ERROR;
    }
}

void log_record(int32_t level, const char* record, void*)
{
    // GStreamer ends every message itself; most records bring a line feed of their own.
    size_t length = std::strlen(record);
    if (length > 0 && record[length - 1] == '\n')
        --length;
    GST_CAT_LEVEL_LOG(velmo_upscale_debug, gstreamer_level(level), nullptr, "%.*s", static_cast<int>(length), record);
}

} // namespace

void log_velmo_to_debug_category()
{
    velmo_set_log_handler(log_record, nullptr);
}

} // namespace velmo_gst
