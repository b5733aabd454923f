// velmo-upscale end to end on small generated inputs: output sizes, frame counts, timestamps and
// sound survive; every written frame is velmo's drawing; bad calls fail with their message and
// status and leave no output behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "PngIo.h"
#include "SampleScene.h"
#include "DecodedVideo.h"
#include "ScratchFolder.h"
#include "ToolError.h"
#include "VideoReader.h"
#include "VideoWriter.h"

using namespace velmo_upscale;
using velmo_upscale_test::decode_video;
using velmo_upscale_test::DecodedVideo;
using velmo_upscale_test::ScratchFolder;

namespace {

const bool kQuietFfmpeg = (set_ffmpeg_verbosity(false), true);

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& argument)
{
    std::string result = "'";
    for (char c : argument)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

class UpscaleToolTest : public ::testing::Test {
protected:
    ToolRun run(const std::vector<std::string>& arguments)
    {
        // A --config-dir among the arguments comes later and wins.
        std::string command = quoted(VELMO_UPSCALE_PATH) + " --config-dir " + quoted(config.path());
        for (const auto& argument : arguments)
            command += " " + quoted(argument);
        command += " >" + quoted(config.path("stdout")) + " 2>" + quoted(config.path("stderr"));
        ToolRun result;
        int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ScratchFolder::read(config.path("stdout"));
        result.err = ScratchFolder::read(config.path("stderr"));
        return result;
    }

    std::string picture(const std::string& name, const RgbaImage& image, bool alpha = false)
    {
        save_png(folder.path(name), image, alpha);
        return folder.path(name);
    }

    ScratchFolder folder;
    ScratchFolder config; // configure.ini and the captured output streams live apart from the results
};

// Left half red, right half blue, top rows green: an orientation and a sharp edge in one picture.
RgbaImage marked_picture(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.at(x, y);
            bool top = y < height / 4;
            p[0] = (!top && x < width / 2) ? 220 : 20;
            p[1] = top ? 200 : 30;
            p[2] = (!top && x >= width / 2) ? 220 : 20;
            p[3] = 255;
        }
    return image;
}

double mean_difference(const RgbaImage& a, const RgbaImage& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / static_cast<double>(a.pixels.size());
}

RgbaImage crop(const RgbaImage& image, int left, int width)
{
    RgbaImage result(width, image.height);
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.at(left, y), width * 4, result.at(0, y));
    return result;
}

int audio_packets(const std::string& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    avformat_find_stream_info(format, nullptr);
    int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    int count = 0;
    AVPacket* packet = av_packet_alloc();
    while (stream >= 0 && av_read_frame(format, packet) >= 0) {
        count += packet->stream_index == stream;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return stream >= 0 ? count : 0;
}

} // namespace

TEST_F(UpscaleToolTest, PictureSizesFollowTheScale)
{
    std::string input = picture("in.png", render_sample_scene(45, 27, 0));
    struct Case {
        std::string scale;
        int width, height;
    };
    // 27 x 1.3 is 35.1 and 45 x 1.3 is 58.5: both truncated, as velmo does.
    for (const Case& c : {Case{"1.5", 67, 40}, Case{"2", 90, 54}, Case{"0.5", 22, 13}, Case{"1.3", 58, 35}}) {
        ToolRun result = run({"--scale", c.scale, input, folder.path("out.png")});
        ASSERT_EQ(result.status, 0) << c.scale << "\n" << result.err;
        PngPicture output = read_png(folder.path("out.png"));
        EXPECT_EQ(output.image.width, c.width) << c.scale;
        EXPECT_EQ(output.image.height, c.height) << c.scale;
        EXPECT_NE(result.out.find("45x27 -> " + folder.path("out.png") + " " + std::to_string(c.width) + "x" +
                                  std::to_string(c.height) + ", upscaled"),
                  std::string::npos)
            << result.out;
    }
}

TEST_F(UpscaleToolTest, PictureIsVelmosUpscaleTheRightWayUp)
{
    std::string input = picture("in.png", marked_picture(64, 36));
    ToolRun upscaled = run({input, folder.path("sr.png"), "--compare", folder.path("compare.png")});
    ASSERT_EQ(upscaled.status, 0) << upscaled.err;
    ToolRun stretched = run({"--priority", "0", input, folder.path("plain.png")});
    ASSERT_EQ(stretched.status, 0) << stretched.err;
    EXPECT_NE(stretched.out.find("stretched only (priority 0)"), std::string::npos) << stretched.out;

    RgbaImage sr = read_png(folder.path("sr.png")).image;
    RgbaImage plain = read_png(folder.path("plain.png")).image;
    RgbaImage compare = read_png(folder.path("compare.png")).image;
    ASSERT_EQ(sr.width, 96);
    ASSERT_EQ(plain.width, 96);

    // Orientation: green band on top, red on the left, blue on the right.
    EXPECT_GT(sr.at(48, 2)[1], 150);
    EXPECT_GT(sr.at(10, 30)[0], 150);
    EXPECT_GT(sr.at(85, 30)[2], 150);

    // The comparison holds the plain stretch on the left and exactly the written output on the right.
    ASSERT_EQ(compare.width, 96 + 8 + 96);
    EXPECT_EQ(crop(compare, 104, 96).pixels, sr.pixels);
    EXPECT_LT(mean_difference(crop(compare, 0, 96), plain), 1.5) << "velmo's plain path is a bilinear stretch too";

    // Velmo's upscaling path sharpens the edges: close to the stretch, yet clearly not it.
    double difference = mean_difference(sr, plain);
    EXPECT_GT(difference, 0.5);
    EXPECT_LT(difference, 20.0);
}

TEST_F(UpscaleToolTest, AnySinglePictureFfmpegReadsBecomesAPng)
{
    VideoFormat format;
    format.width = 40;
    format.height = 20;
    for (int frames : {1, 12}) {
        std::string name = std::to_string(frames) + ".y4m";
        VideoWriter writer(folder.path(name), OutputKind::Y4m, format);
        writer.start();
        for (int i = 0; i < frames; ++i)
            writer.write_frame(marked_picture(40, 20), i);
        writer.finish();
    }
    ToolRun single = run({folder.path("1.y4m"), folder.path("one.png")});
    ASSERT_EQ(single.status, 0) << single.err;
    PngPicture output = read_png(folder.path("one.png"));
    EXPECT_EQ(output.image.width, 60);
    EXPECT_EQ(output.image.height, 30);
    EXPECT_FALSE(output.has_alpha);

    ToolRun video = run({folder.path("12.y4m"), folder.path("many.png")});
    EXPECT_EQ(video.status, kExitUsage);
    EXPECT_NE(video.err.find("is a video; write it to a .mp4 or .y4m file"), std::string::npos) << video.err;
}

TEST_F(UpscaleToolTest, InterruptedRunLeavesNothing)
{
    SampleClip clip;
    clip.width = 160;
    clip.height = 90;
    clip.frames = 96;
    clip.with_audio = false;
    write_sample_clip(folder.path("in.mp4"), OutputKind::Mp4, clip);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(VELMO_UPSCALE_PATH, VELMO_UPSCALE_PATH, "--config-dir", config.path().c_str(),
                folder.path("in.mp4").c_str(), folder.path("out.mp4").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Interrupt as soon as the output is being written.
    bool writing = false;
    for (int i = 0; i < 1000 && !writing; ++i) {
        for (const std::string& name : folder.names())
            writing = writing || name.rfind(".out.mp4.velmo-", 0) == 0;
        if (!writing)
            ::usleep(5000);
    }
    ::kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(writing) << "the output never appeared";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"in.mp4"});
}

TEST_F(UpscaleToolTest, TransparencyIsKept)
{
    RgbaImage image = marked_picture(32, 18);
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 32; ++x)
            image.at(x, y)[3] = x < 16 ? 255 : 0;
    ToolRun result = run({picture("alpha.png", image, true), folder.path("out.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    PngPicture output = read_png(folder.path("out.png"));
    EXPECT_TRUE(output.has_alpha);
    EXPECT_EQ(output.image.at(2, 10)[3], 255);
    EXPECT_EQ(output.image.at(45, 10)[3], 0);
}

TEST_F(UpscaleToolTest, ClipKeepsFramesTimestampsAndSound)
{
    SampleClip clip;
    clip.width = 64;
    clip.height = 36;
    clip.frames = 12;
    clip.frame_rate = 12;
    write_sample_clip(folder.path("in.mp4"), OutputKind::Mp4, clip);
    ToolRun result = run({folder.path("in.mp4"), folder.path("out.mp4")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("64x36 -> " + folder.path("out.mp4") + " 96x54: 12 frames"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("1 audio stream copied"), std::string::npos) << result.out;

    DecodedVideo input = decode_video(folder.path("in.mp4"));
    DecodedVideo output = decode_video(folder.path("out.mp4"));
    ASSERT_EQ(output.frames.size(), 12u);
    EXPECT_EQ(output.info.width, 96);
    EXPECT_EQ(output.info.height, 54);
    EXPECT_EQ(av_cmp_q(output.info.frame_rate, AVRational{12, 1}), 0);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(av_rescale_q(output.pts[i], output.info.time_base, input.info.time_base), input.pts[i])
            << "frame " << i;
    EXPECT_EQ(audio_packets(folder.path("out.mp4")), audio_packets(folder.path("in.mp4")));
}

TEST_F(UpscaleToolTest, FirstFrameIsUpscaledLikeTheOthers)
{
    // Twelve identical frames through the lossless-in-time Y4M path: if velmo's set-up pass-through
    // leaked into the output, the first frame would differ from the last.
    VideoFormat format;
    format.width = 48;
    format.height = 32;
    format.time_base = AVRational{1, 12};
    format.frame_rate = AVRational{12, 1};
    {
        VideoWriter writer(folder.path("still.y4m"), OutputKind::Y4m, format);
        writer.start();
        for (int i = 0; i < 12; ++i)
            writer.write_frame(marked_picture(48, 32), i);
        writer.finish();
    }
    ToolRun result = run({folder.path("still.y4m"), folder.path("out.y4m"), "--compare", folder.path("first.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    DecodedVideo output = decode_video(folder.path("out.y4m"));
    ASSERT_EQ(output.frames.size(), 12u);
    EXPECT_EQ(output.info.width, 72);
    EXPECT_EQ(output.info.height, 48);
    EXPECT_EQ(output.frames.front().pixels, output.frames.back().pixels);

    RgbaImage compare = read_png(folder.path("first.png")).image;
    RgbaImage stretched = crop(compare, 0, 72);
    RgbaImage drawn = crop(compare, 80, 72);
    EXPECT_GT(mean_difference(drawn, stretched), 0.5) << "the first frame was not upscaled by velmo";
    EXPECT_LT(mean_difference(drawn, output.frames.front()), 3.0) << "the comparison shows another picture";
}

TEST_F(UpscaleToolTest, Y4mLeavesSoundOutWithANote)
{
    SampleClip clip;
    clip.width = 32;
    clip.height = 18;
    clip.frames = 3;
    write_sample_clip(folder.path("in.mp4"), OutputKind::Mp4, clip);
    ToolRun result = run({folder.path("in.mp4"), folder.path("out.y4m")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("audio stream #1 (aac) cannot go into Y4M; left out"), std::string::npos)
        << result.err;
    EXPECT_EQ(decode_video(folder.path("out.y4m")).frames.size(), 3u);
}

TEST_F(UpscaleToolTest, BadCallsFailWithMessageAndStatus)
{
    std::string png = picture("in.png", marked_picture(8, 8));
    std::string text = folder.write("notes.mp4", std::string(2048, 'x'));
    std::string missing_folder = folder.path("no/such/folder/out.png");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{folder.path("missing.png"), folder.path("out.png")}, kExitInput, "cannot open '" + folder.path("missing.png") + "': No such file or directory"},
        {{text, folder.path("out.mp4")}, kExitInput, "'" + text + "' is neither a PNG nor a video FFmpeg can read"},
        {{folder.path(), folder.path("out.mp4")}, kExitInput, "it is a folder"},
        {{png, missing_folder}, kExitOutput, "cannot write '" + missing_folder + "': No such file or directory"},
        {{png, folder.path("out.png"), "--compare", missing_folder}, kExitOutput, "cannot write '" + missing_folder + "'"},
        {{"--scale", "3", png, folder.path("out.png")}, kExitUsage, "--scale must be a number from 0 to 2, not '3'"},
        {{"--scale", "0", png, folder.path("out.png")}, kExitUsage, "--scale 0 leaves nothing of a 8x8 picture"},
        {{"--level", "9", png, folder.path("out.png")}, kExitUsage, "--level must be a whole number from 1 to 3"},
        {{png, folder.path("out.mp4")}, kExitUsage, "is a PNG picture; write it to a .png file"},
        {{png, png}, kExitUsage, "is the input itself"},
        {{png, folder.path("out.png"), "--config-dir", folder.path("nowhere")}, kExitUsage, "is not an existing folder"},
    };
    for (const Case& c : cases) {
        ToolRun result = run(c.arguments);
        std::string call = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.status, c.status) << call << "\n" << result.err;
        EXPECT_EQ(result.err.rfind("velmo-upscale: ", 0), 0u) << call << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << call << "\n" << result.err;
        EXPECT_TRUE(result.out.empty()) << call << "\n" << result.out;
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.png", "notes.mp4"})) << "a failed run left files";
}

TEST_F(UpscaleToolTest, HelpDescribesTheOptions)
{
    ToolRun result = run({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* option : {"--scale", "--level", "--sharpness", "--smooth", "--sigma-s", "--sigma-r",
                               "--priority", "--no-edge-adaptive", "--face-protection", "--config-dir", "--compare",
                               "--verbose"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}
