// Video writing and reading: frame counts, sizes, timestamps and frame rates survive a round trip,
// other streams can be carried over unchanged, and unreadable inputs are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/display.h>
}

#include "SampleScene.h"
#include "DecodedVideo.h"
#include "RichSamples.h"
#include "ScratchFolder.h"
#include "ToolError.h"
#include "VideoReader.h"
#include "VideoWriter.h"

using namespace velmo_upscale;
using velmo_upscale_test::decode_video;
using velmo_upscale_test::DecodedVideo;
using velmo_upscale_test::ScratchFolder;

namespace {

// Encoder statistics would bury the test output.
const bool kQuietFfmpeg = (set_ffmpeg_verbosity(false), true);

double mean_difference(const RgbaImage& a, const RgbaImage& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / static_cast<double>(a.pixels.size());
}

// Writes `count` frames of the sample scene with the given timestamps.
std::string write_clip(const std::string& path, OutputKind kind, int width, int height, AVRational time_base,
                       AVRational rate, const std::vector<int64_t>& pts, std::string* encoder = nullptr)
{
    VideoFormat format;
    format.width = width;
    format.height = height;
    format.time_base = time_base;
    format.frame_rate = rate;
    VideoWriter writer(path, kind, format);
    writer.start();
    for (size_t i = 0; i < pts.size(); ++i)
        writer.write_frame(render_sample_scene(width, height, static_cast<double>(i) / 8), pts[i]);
    writer.finish();
    EXPECT_EQ(writer.frames_written(), static_cast<int64_t>(pts.size()));
    if (encoder)
        *encoder = writer.encoder_description();
    return path;
}

int count_packets(const std::string& path, AVMediaType type, AVCodecID* codec = nullptr)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    avformat_find_stream_info(format, nullptr);
    int stream = av_find_best_stream(format, type, -1, -1, nullptr, 0);
    int count = 0;
    if (stream >= 0) {
        if (codec)
            *codec = format->streams[stream]->codecpar->codec_id;
        AVPacket* packet = av_packet_alloc();
        while (av_read_frame(format, packet) >= 0) {
            count += packet->stream_index == stream;
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    } else {
        count = -1;
    }
    avformat_close_input(&format);
    return count;
}

std::pair<ExitStatus, std::string> open_failure(const std::string& path)
{
    try {
        VideoReader reader(path);
        RgbaImage frame;
        int64_t pts = 0;
        while (reader.read_frame(frame, pts)) {
        }
    } catch (const ToolError& error) {
        return {error.status(), error.what()};
    }
    return {kExitOk, ""};
}

} // namespace

TEST(VideoIoTest, Mp4KeepsFramesSizeRateAndPictures)
{
    ScratchFolder folder;
    std::vector<int64_t> pts;
    for (int i = 0; i < 12; ++i)
        pts.push_back(i);
    std::string encoder;
    write_clip(folder.path("clip.mp4"), OutputKind::Mp4, 96, 54, {1, 24}, {24, 1}, pts, &encoder);
    EXPECT_EQ(encoder, "libx264 (yuv420p)");

    DecodedVideo video = decode_video(folder.path("clip.mp4"));
    EXPECT_EQ(video.info.codec_name, "h264");
    EXPECT_EQ(video.info.width, 96);
    EXPECT_EQ(video.info.height, 54);
    EXPECT_EQ(av_cmp_q(video.info.frame_rate, AVRational{24, 1}), 0);
    EXPECT_EQ(video.info.frame_count, 12);
    ASSERT_EQ(video.frames.size(), 12u);
    for (size_t i = 0; i < video.frames.size(); ++i) {
        EXPECT_NEAR(video.seconds(i), static_cast<double>(i) / 24, 1e-6) << "frame " << i;
        EXPECT_LT(mean_difference(video.frames[i], render_sample_scene(96, 54, static_cast<double>(i) / 8)), 4.0)
            << "frame " << i;
    }
}

TEST(VideoIoTest, IrregularTimestampsSurvive)
{
    ScratchFolder folder;
    // 29.97 fps in a 90 kHz time base, starting late and with one frame held twice as long.
    const std::vector<int64_t> pts = {9009, 12012, 15015, 21021, 24024, 27027};
    write_clip(folder.path("vfr.mp4"), OutputKind::Mp4, 64, 36, {1, 90000}, {30000, 1001}, pts);
    DecodedVideo video = decode_video(folder.path("vfr.mp4"));
    ASSERT_EQ(video.frames.size(), pts.size());
    for (size_t i = 0; i < pts.size(); ++i)
        EXPECT_NEAR(video.seconds(i), static_cast<double>(pts[i]) / 90000, 1e-9) << "frame " << i;
}

TEST(VideoIoTest, PixelShapeAndRotationCarryOver)
{
    ScratchFolder folder;
    VideoFormat format;
    format.width = 64;
    format.height = 48;
    format.time_base = AVRational{1, 24};
    format.frame_rate = AVRational{24, 1};
    format.sample_aspect_ratio = AVRational{32, 27};
    format.display_matrix.resize(9 * sizeof(int32_t));
    av_display_rotation_set(reinterpret_cast<int32_t*>(format.display_matrix.data()), 90);
    auto write_one_frame = [](const std::string& path, const VideoFormat& f) {
        VideoWriter writer(path, OutputKind::Mp4, f);
        writer.start();
        writer.write_frame(render_sample_scene(f.width, f.height, 0), 0);
        writer.finish();
    };
    write_one_frame(folder.path("phone.mp4"), format);
    VideoInfo phone = VideoReader(folder.path("phone.mp4")).info();
    EXPECT_EQ(av_cmp_q(phone.sample_aspect_ratio, AVRational{32, 27}), 0);
    ASSERT_EQ(phone.display_matrix.size(), 9 * sizeof(int32_t));
    // MP4 stores the matrix in its own orientation convention; a quarter turn it stays.
    EXPECT_NEAR(std::abs(av_display_rotation_get(reinterpret_cast<const int32_t*>(phone.display_matrix.data()))),
                90.0, 0.01);

    // What the reader found, the writer passes on unchanged.
    format.sample_aspect_ratio = phone.sample_aspect_ratio;
    format.display_matrix = phone.display_matrix;
    write_one_frame(folder.path("copy.mp4"), format);
    VideoInfo copy = VideoReader(folder.path("copy.mp4")).info();
    EXPECT_EQ(copy.display_matrix, phone.display_matrix);
    EXPECT_EQ(av_cmp_q(copy.sample_aspect_ratio, AVRational{32, 27}), 0);
}

TEST(VideoIoTest, OddSizesKeepFullChromaInMp4AndY4m)
{
    ScratchFolder folder;
    std::vector<int64_t> pts(12);
    for (int i = 0; i < 12; ++i)
        pts[static_cast<size_t>(i)] = i;
    std::string encoder;
    write_clip(folder.path("odd.mp4"), OutputKind::Mp4, 45, 27, {1, 12}, {12, 1}, pts, &encoder);
    EXPECT_EQ(encoder, "libx264 (yuv444p)");
    write_clip(folder.path("odd.y4m"), OutputKind::Y4m, 45, 27, {1, 12}, {12, 1}, pts, &encoder);
    EXPECT_EQ(encoder, "uncompressed (yuv444p)");

    for (const char* name : {"odd.mp4", "odd.y4m"}) {
        DecodedVideo video = decode_video(folder.path(name));
        EXPECT_EQ(video.frames.size(), 12u) << name;
        EXPECT_EQ(video.info.width, 45) << name;
        EXPECT_EQ(video.info.height, 27) << name;
        EXPECT_EQ(av_cmp_q(video.info.frame_rate, AVRational{12, 1}), 0) << name;
    }
    EXPECT_EQ(ScratchFolder::read(folder.path("odd.y4m")).rfind("YUV4MPEG2 W45 H27 F12:1", 0), 0u);
}

TEST(VideoIoTest, OtherStreamsAreCarriedOverPacketForPacket)
{
    ScratchFolder folder;
    SampleClip clip;
    clip.width = 64;
    clip.height = 36;
    clip.frames = 12;
    write_sample_clip(folder.path("with-sound.mp4"), OutputKind::Mp4, clip);
    AVCodecID codec = AV_CODEC_ID_NONE;
    int audio_packets = count_packets(folder.path("with-sound.mp4"), AVMEDIA_TYPE_AUDIO, &codec);
    ASSERT_GT(audio_packets, 0);
    EXPECT_EQ(codec, AV_CODEC_ID_AAC);

    VideoReader reader(folder.path("with-sound.mp4"));
    const AVFormatContext* input = reader.container();
    VideoFormat format;
    format.width = 64;
    format.height = 36;
    format.time_base = reader.info().time_base;
    format.frame_rate = reader.info().frame_rate;
    VideoWriter writer(folder.path("copy.mp4"), OutputKind::Mp4, format);
    std::vector<int> mapping(input->nb_streams, -1);
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (static_cast<int>(i) != reader.video_stream_index())
            mapping[i] = writer.add_copied_stream(*input->streams[i]->codecpar, input->streams[i]->time_base);
    writer.start();
    RgbaImage frame;
    int64_t pts = 0;
    auto copy = [&](AVPacket& packet) {
        int target = mapping[static_cast<size_t>(packet.stream_index)];
        writer.write_copied_packet(packet, target, input->streams[packet.stream_index]->time_base);
    };
    while (reader.read_frame(frame, pts, copy))
        writer.write_frame(frame, pts);
    writer.finish();

    EXPECT_EQ(count_packets(folder.path("copy.mp4"), AVMEDIA_TYPE_AUDIO), audio_packets);
    EXPECT_EQ(count_packets(folder.path("copy.mp4"), AVMEDIA_TYPE_VIDEO), 12);

    VideoFormat y4m_format = format;
    VideoWriter y4m(folder.path("copy.y4m"), OutputKind::Y4m, y4m_format);
    EXPECT_EQ(y4m.add_copied_stream(*input->streams[1]->codecpar, input->streams[1]->time_base), -1)
        << "Y4M carries no sound";
}

TEST(VideoIoTest, SoundTheMuxerWouldRefuseIsReencodedInsteadOfFailingTheFile)
{
    ScratchFolder folder;
    velmo_upscale_test::SourceDescription source;
    AVStream& truehd = source.add_stream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_TRUEHD, AVRational{1, 48000});
    truehd.codecpar->sample_rate = 48000;
    av_channel_layout_default(&truehd.codecpar->ch_layout, 2);
    VideoFormat format;
    format.width = 32;
    format.height = 18;
    VideoWriter mp4(folder.path("out.mp4"), OutputKind::Mp4, format);
    // MP4 lists TrueHD, yet refuses it as experimental: it becomes AAC.
    int sound = mp4.add_copied_stream(truehd);
    ASSERT_EQ(sound, 1);
    EXPECT_EQ(mp4.copied_codec(sound), AV_CODEC_ID_AAC);
    mp4.start();
    mp4.write_frame(render_sample_scene(32, 18, 0), 0);
    mp4.finish();
    EXPECT_EQ(count_packets(folder.path("out.mp4"), AVMEDIA_TYPE_VIDEO), 1);

    VideoWriter mkv(folder.path("out.mkv"), OutputKind::Mkv, format);
    EXPECT_EQ(mkv.add_copied_stream(truehd), 1);
}

TEST(VideoIoTest, UnreadableInputsAreRefused)
{
    ScratchFolder folder;
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919u) >> 3);
    folder.write("noise.mp4", noise);

    auto missing = open_failure(folder.path("missing.mp4"));
    EXPECT_EQ(missing.first, kExitInput);
    EXPECT_NE(missing.second.find("No such file or directory"), std::string::npos) << missing.second;

    auto garbage = open_failure(folder.path("noise.mp4"));
    EXPECT_EQ(garbage.first, kExitInput);
    EXPECT_NE(garbage.second.find("noise.mp4"), std::string::npos) << garbage.second;

    auto directory = open_failure(folder.path());
    EXPECT_EQ(directory.first, kExitInput);
    EXPECT_NE(directory.second.find("it is a folder"), std::string::npos) << directory.second;
}
