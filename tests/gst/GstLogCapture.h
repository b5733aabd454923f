// Collects the velmoupscale debug category's messages, as GST_DEBUG=velmoupscale:5 would show them.
#pragma once

#include <gst/gst.h>

#include <mutex>
#include <string>
#include <vector>

namespace velmo_test {

struct GstLogMessage {
    GstDebugLevel level;
    std::string text;
};

// From construction until finish() (or destruction): the category's threshold is DEBUG and its
// messages are collected here instead of going to GStreamer's default output, which stays silent.
class GstLogCapture {
public:
    GstLogCapture();
    ~GstLogCapture();

    GstLogCapture(const GstLogCapture&) = delete;
    GstLogCapture& operator=(const GstLogCapture&) = delete;

    // Restores GStreamer's logging and returns every message collected, each ended with a line feed.
    std::string finish();
    // The messages collected so far, with their levels.
    std::vector<GstLogMessage> messages() const;

private:
    static void collect(GstDebugCategory* category, GstDebugLevel level, const gchar* file, const gchar* function,
                        gint line, GObject* object, GstDebugMessage* message, gpointer user);

    mutable std::mutex _mutex;
    std::vector<GstLogMessage> _messages;
    bool _capturing = false;
};

} // namespace velmo_test
