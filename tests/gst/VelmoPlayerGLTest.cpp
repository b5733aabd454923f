// velmoupscale in a real player (playbin) and in a transcoding pipeline, on a short clip with sound.
#include <gst/gst.h>

#include <string>

#include "gst/GstTestSupport.h"
#include "support/TemporaryDirectory.h"

namespace velmo_test {
namespace {

// 10 frames of 64x48 at 10 fps (VP8) with one second of Vorbis sound, in WebM.
std::string make_clip(const std::string& folder)
{
    std::string path = folder + "/clip.webm";
    GstElement* pipeline = parse_pipeline(
        "videotestsrc num-buffers=10 pattern=smpte ! video/x-raw,width=64,height=48,framerate=10/1 ! vp8enc deadline=1 ! "
        "queue ! webmmux name=mux ! filesink location=" + path +
        " audiotestsrc num-buffers=10 samplesperbuffer=4410 ! audioconvert ! vorbisenc ! queue ! mux.");
    EXPECT_EQ(run_to_end(pipeline), "");
    gst_object_unref(pipeline);
    return path;
}

// Counts the buffers through a pad and keeps the caps they came with.
struct PadCount {
    int buffers = 0;
    int width = 0;
    int height = 0;
};

GstPadProbeReturn count_buffer(GstPad* pad, GstPadProbeInfo*, gpointer data)
{
    PadCount* count = static_cast<PadCount*>(data);
    ++count->buffers;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        GstStructure* structure = gst_caps_get_structure(caps, 0);
        gst_structure_get_int(structure, "width", &count->width);
        gst_structure_get_int(structure, "height", &count->height);
        gst_caps_unref(caps);
    }
    return GST_PAD_PROBE_OK;
}

void count_on(GstElement* element, PadCount& count)
{
    GstPad* pad = gst_element_get_static_pad(element, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, count_buffer, &count, nullptr);
    gst_object_unref(pad);
}

class VelmoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { init_gstreamer(); }
    TemporaryDirectory _folder;
};

TEST_F(VelmoPlayerTest, PlaybinPlaysAClipWithSoundToTheEnd)
{
    std::string clip = make_clip(_folder.path());
    GstElement* player = gst_element_factory_make("playbin", nullptr);
    GError* error = nullptr;
    GstElement* filter = gst_parse_bin_from_description(
        ("glupload ! velmoupscale config-dir=" + _folder.path() + " ! gldownload").c_str(), TRUE, &error);
    ASSERT_NE(filter, nullptr) << error->message;
    GstElement* video_sink = gst_element_factory_make("fakesink", nullptr);
    GstElement* audio_sink = gst_element_factory_make("fakesink", nullptr);
    PadCount video;
    PadCount audio;
    count_on(video_sink, video);
    count_on(audio_sink, audio);
    gchar* uri = gst_filename_to_uri(clip.c_str(), nullptr);
    g_object_set(player, "uri", uri, "video-filter", filter, "video-sink", video_sink, "audio-sink", audio_sink,
                 nullptr);
    g_free(uri);

    EXPECT_EQ(run_to_end(player), "");
    EXPECT_EQ(video.buffers, 10);
    EXPECT_EQ(video.width, 96);
    EXPECT_EQ(video.height, 72);
    EXPECT_GT(audio.buffers, 0);
    gst_object_unref(player);
}

TEST_F(VelmoPlayerTest, TranscodingWritesEveryFrameUpscaled)
{
    std::string clip = make_clip(_folder.path());
    std::string result = _folder.path() + "/big.webm";
    GstElement* transcoder = parse_pipeline(
        "filesrc location=" + clip + " ! decodebin ! videoconvert ! glupload ! velmoupscale scale=1.3 config-dir=" +
        _folder.path() + " ! gldownload ! videoconvert ! vp8enc deadline=1 ! webmmux ! filesink location=" + result);
    EXPECT_EQ(run_to_end(transcoder), "");
    gst_object_unref(transcoder);

    GstElement* reader = parse_pipeline("filesrc location=" + result + " ! decodebin ! video/x-raw ! fakesink name=frames");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(reader), "frames");
    PadCount frames;
    count_on(sink, frames);
    EXPECT_EQ(run_to_end(reader), "");
    EXPECT_EQ(frames.buffers, 10);
    EXPECT_EQ(frames.width, 83);
    EXPECT_EQ(frames.height, 62);
    gst_object_unref(sink);
    gst_object_unref(reader);
}

} // namespace
} // namespace velmo_test
