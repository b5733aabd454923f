// velmo-upscale end to end on small generated inputs: output sizes, frame counts, timestamps,
// sound, subtitles, attachments, chapters, tags and 10-bit HDR survive or are named as left out;
// every written frame is velmo's drawing; the encoder is chosen; bad calls fail with their message
// and status and leave no output behind.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "PngIo.h"
#include "Png16.h"
#include "SampleScene.h"
#include "DecodedVideo.h"
#include "FirstStreamCopy.h"
#include "RichSamples.h"
#include "ScratchFolder.h"
#include "ToolError.h"
#include "ToolRun.h"
#include "VideoReader.h"
#include "VideoWriter.h"
#include "velmo/velmo_api.h"

using namespace velmo_upscale;
using velmo_upscale_test::decode_video;
using velmo_upscale_test::DecodedVideo;
using velmo_upscale_test::sample_font;
using velmo_upscale_test::ScratchFolder;
using velmo_upscale_test::shell_quoted;
using velmo_upscale_test::ToolRun;
using velmo_upscale_test::write_hdr10_mkv;
using velmo_upscale_test::write_rich_mkv;

namespace {

const bool kQuietFfmpeg = (set_ffmpeg_verbosity(false), true);

// A generated clip of this size and length, at 24 frames per second.
SampleClip sample_clip(int width, int height, int frames, bool with_audio)
{
    SampleClip clip;
    clip.width = width;
    clip.height = height;
    clip.frames = frames;
    clip.with_audio = with_audio;
    return clip;
}

class UpscaleToolTest : public ::testing::Test {
protected:
    ToolRun run(const std::vector<std::string>& arguments)
    {
        // A --config-dir among the arguments comes later and wins.
        std::string command = shell_quoted(VELMO_UPSCALE_PATH) + " --config-dir " + shell_quoted(config.path());
        for (const auto& argument : arguments)
            command += " " + shell_quoted(argument);
        // Standard input comes through a pipe, as in a shell pipeline.
        command = "cat " + shell_quoted(stdin_from) + " | " + command + " >" + shell_quoted(config.path("stdout")) + " 2>" +
                  shell_quoted(config.path("stderr"));
        if (!cwd.empty())
            command = "cd " + shell_quoted(cwd) + " && " + command;
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
    std::string stdin_from = "/dev/null"; // what the tool's standard input pipe carries
    std::string cwd; // empty: the test's own
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

// A Y4M clip of `frames` copies of the marked picture.
void write_still_y4m(const std::string& path, int width, int height, int frames)
{
    VideoFormat format;
    format.width = width;
    format.height = height;
    VideoWriter writer(path, OutputKind::Y4m, format);
    writer.start();
    for (int i = 0; i < frames; ++i)
        writer.write_frame(marked_picture(width, height), i);
    writer.finish();
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

// Every packet of the file in the order it is stored: stream, timestamps, flags and data.
std::string packet_sequence(const std::string& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return "";
    std::string sequence;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        sequence += std::to_string(packet->stream_index) + " " + std::to_string(packet->pts) + " " +
                    std::to_string(packet->dts) + " " + std::to_string(packet->flags) + ":";
        sequence.append(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return sequence;
}

// A written file opened for inspection of its streams, tags and chapters.
class OpenedFile {
public:
    explicit OpenedFile(const std::string& path)
    {
        if (avformat_open_input(&_format, path.c_str(), nullptr, nullptr) == 0)
            avformat_find_stream_info(_format, nullptr);
    }
    ~OpenedFile() { avformat_close_input(&_format); }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    const AVFormatContext* operator->() const { return _format; }
    bool is_open() const { return _format != nullptr; }
    std::string tag(const AVDictionary* tags, const char* key) const
    {
        const AVDictionaryEntry* entry = av_dict_get(tags, key, nullptr, 0);
        return entry ? entry->value : "";
    }
    // Start and end in milliseconds of one stream's packets that hold more than `least` bytes,
    // and their bytes.
    std::vector<std::pair<int64_t, int64_t>> packets(int stream, std::string* bytes = nullptr, int least = 0)
    {
        std::vector<std::pair<int64_t, int64_t>> result;
        AVRational base = _format->streams[stream]->time_base;
        AVPacket* packet = av_packet_alloc();
        while (av_read_frame(_format, packet) >= 0) {
            if (packet->stream_index == stream && packet->size > least) {
                int64_t start = av_rescale_q(packet->pts, base, AVRational{1, 1000});
                result.emplace_back(start, start + av_rescale_q(packet->duration, base, AVRational{1, 1000}));
                if (bytes)
                    bytes->append(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
        return result;
    }

private:
    AVFormatContext* _format = nullptr;
};

// The share of samples (every channel, alpha included) of `a` within `tolerance` of `b`'s.
double share_within(const RgbaImage& a, const RgbaImage& b, int tolerance)
{
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty())
        return 0.0;
    size_t close = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        close += std::abs(a.pixels[i] - b.pixels[i]) <= tolerance;
    return static_cast<double>(close) / static_cast<double>(a.pixels.size());
}

double mean_level(const RgbaImage& image)
{
    double sum = 0;
    for (size_t i = 0; i < image.pixels.size(); i += 4)
        sum += image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2];
    return sum / static_cast<double>(image.pixels.size() / 4 * 3);
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
        ToolRun result = run({"-y", "--scale", c.scale, input, folder.path("out.png")});
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
    ToolRun upscaled = run({input, folder.path("sr.png"), "--compare", folder.path("compare.png"), "--compare-with",
                            "bilinear"});
    ASSERT_EQ(upscaled.status, 0) << upscaled.err;
    ToolRun lanczos = run({input, folder.path("sr2.png"), "--compare", folder.path("lanczos.png")});
    ASSERT_EQ(lanczos.status, 0) << lanczos.err;
    EXPECT_NE(lanczos.out.find("; lanczos | velmo: " + folder.path("lanczos.png")), std::string::npos) << lanczos.out;
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
    // Lanczos by default: another ordinary upscale on the left, the same velmo picture on the right.
    RgbaImage with_lanczos = read_png(folder.path("lanczos.png")).image;
    ASSERT_EQ(with_lanczos.width, compare.width);
    EXPECT_GT(mean_difference(crop(with_lanczos, 0, 96), crop(compare, 0, 96)), 0.2);
    EXPECT_EQ(crop(with_lanczos, 104, 96).pixels, sr.pixels);

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
    EXPECT_NE(video.err.find("is a video; write it to a .mp4, .mkv or .y4m file"), std::string::npos) << video.err;
}

TEST_F(UpscaleToolTest, InterruptedRunLeavesNothing)
{
    SampleClip clip = sample_clip(160, 90, 96, false);
    write_sample_clip(folder.path("in.y4m"), OutputKind::Y4m, clip);
    const std::string clip_bytes = ScratchFolder::read(folder.path("in.y4m"));

    // The clip comes through a pipe that the test keeps open after its first eighth, so the run is
    // still writing, and cannot have finished, when the signal arrives. A tool that died early
    // must not take the test with it through SIGPIPE.
    struct IgnoredSigpipe {
        IgnoredSigpipe() : saved(::signal(SIGPIPE, SIG_IGN)) {}
        ~IgnoredSigpipe() { ::signal(SIGPIPE, saved); }
        sighandler_t saved;
    } ignored_sigpipe;
    // Ctrl-C, Ctrl-\ and a reader that went away.
    for (int signal_number : {SIGINT, SIGQUIT, SIGPIPE}) {
        int feed[2];
        ASSERT_EQ(::pipe(feed), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit no_core = {0, 0};
            ::setrlimit(RLIMIT_CORE, &no_core);
            ::signal(SIGPIPE, SIG_DFL);
            ::dup2(feed[0], STDIN_FILENO);
            ::close(feed[0]);
            ::close(feed[1]);
            ::execl(VELMO_UPSCALE_PATH, VELMO_UPSCALE_PATH, "-y", "--config-dir", config.path().c_str(), "-",
                    folder.path("out.mp4").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(feed[0]);
        size_t fed = 0;
        while (fed < clip_bytes.size() / 8) {
            ssize_t count = ::write(feed[1], clip_bytes.data() + fed, clip_bytes.size() / 8 - fed);
            if (count <= 0)
                break;
            fed += static_cast<size_t>(count);
        }
        bool writing = false;
        for (int i = 0; i < 4000 && !writing; ++i) {
            for (const std::string& name : folder.names())
                writing = writing || name.rfind(".out.mp4.velmo-", 0) == 0;
            if (!writing)
                ::usleep(5000);
        }
        ::kill(child, signal_number);
        ::close(feed[1]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(writing) << "the output never appeared";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << "status " << status;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"in.y4m"}) << "signal " << signal_number;
    }
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

// velmo's CPU pass computes the GPU's picture in float where llvmpipe filters with 8-bit weights
// and 16-bit mediump arithmetic: the two agree within a few 1/255 nearly everywhere, through one
// pass or several, with transparency, for a picture and for every frame of a clip.
TEST_F(UpscaleToolTest, CpuBackendDrawsWhatTheGpuBackendDraws)
{
    RgbaImage cutout = render_sample_scene(48, 27, 0);
    for (int y = 0; y < cutout.height; ++y)
        for (int x = 0; x < cutout.width; ++x)
            cutout.at(x, y)[3] = static_cast<uint8_t>(x * 255 / (cutout.width - 1));
    struct Case {
        std::string name;
        RgbaImage image;
        bool alpha;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"opaque", render_sample_scene(48, 27, 0), false, {"--scale", "2", "--smooth", "--face-protection"}},
        {"cutout", cutout, true, {"--scale", "3", "--level", "1"}},
        {"plain", render_sample_scene(48, 27, 0), false, {"--scale", "1.5", "--priority", "0"}},
    };
    for (const Case& c : cases) {
        std::string input = picture(c.name + ".png", c.image, c.alpha);
        std::map<std::string, RgbaImage> drawn;
        for (const std::string backend : {"cpu", "gpu"}) {
            std::vector<std::string> arguments = c.options;
            arguments.insert(arguments.end(), {"--backend", backend, "-y", input, folder.path(backend + ".png")});
            ToolRun result = run(arguments);
            ASSERT_EQ(result.status, 0) << c.name << " " << backend << "\n" << result.err;
            EXPECT_NE(result.out.find(" on " + backend + ": "), std::string::npos) << result.out;
            drawn[backend] = read_png(folder.path(backend + ".png")).image;
        }
        EXPECT_EQ(drawn["cpu"].width, drawn["gpu"].width) << c.name;
        // Over black, as a transparent picture is seen: unpremultiplying divides by small alphas
        // and so magnifies a difference of one in the drawn colour many times.
        for (RgbaImage* image : {&drawn["cpu"], &drawn["gpu"]})
            for (size_t i = 0; i < image->pixels.size(); i += 4)
                for (size_t k = 0; k < 3; ++k)
                    image->pixels[i + k] = static_cast<uint8_t>(image->pixels[i + k] * image->pixels[i + 3] / 255);
        EXPECT_GE(share_within(drawn["cpu"], drawn["gpu"], 4), 0.99) << c.name;
    }

    SampleClip clip = sample_clip(64, 36, 6, false);
    write_sample_clip(folder.path("clip.mp4"), OutputKind::Mp4, clip);
    ASSERT_EQ(run({"--backend", "cpu", folder.path("clip.mp4"), folder.path("cpu.y4m")}).status, 0);
    ASSERT_EQ(run({"--backend", "gpu", folder.path("clip.mp4"), folder.path("gpu.y4m")}).status, 0);
    DecodedVideo cpu = decode_video(folder.path("cpu.y4m"));
    DecodedVideo gpu = decode_video(folder.path("gpu.y4m"));
    ASSERT_EQ(cpu.frames.size(), 6u);
    ASSERT_EQ(gpu.frames.size(), 6u);
    for (size_t i = 0; i < cpu.frames.size(); ++i)
        EXPECT_GE(share_within(cpu.frames[i], gpu.frames[i], 4), 0.99) << "frame " << i;
}

// auto takes the CPU on Mesa's software rasteriser, and where EGL has no display at all, where
// the CPU backend and --version still work and only --backend gpu fails.
TEST_F(UpscaleToolTest, AutoTakesTheCpuOnASoftwareRasteriserOrWithoutEgl)
{
    std::string input = picture("in.png", marked_picture(16, 8));
    ToolRun automatic = run({"-y", input, folder.path("out.png")});
    ASSERT_EQ(automatic.status, 0) << automatic.err;
    EXPECT_NE(automatic.out.find(" on cpu: "), std::string::npos) << automatic.out;
    EXPECT_NE(automatic.out.find("(auto: llvmpipe"), std::string::npos) << automatic.out;

    // Mesa's X11 platform without a display server: no EGL display can be had.
    std::string platform = std::getenv("EGL_PLATFORM") ? std::getenv("EGL_PLATFORM") : "";
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("EGL_PLATFORM", "x11", 1);
    unsetenv("DISPLAY");
    ToolRun without_gl = run({"-y", input, folder.path("out.png")});
    ToolRun cpu = run({"-y", "--backend", "cpu", "--scale", "3", input, folder.path("out3.png")});
    ToolRun gpu = run({"-y", "--backend", "gpu", input, folder.path("gpu.png")});
    ToolRun version = run({"--version"});
    setenv("EGL_PLATFORM", platform.c_str(), 1);
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);

    EXPECT_EQ(without_gl.status, 0) << without_gl.err;
    EXPECT_NE(without_gl.out.find(" on cpu: "), std::string::npos) << without_gl.out;
    EXPECT_NE(without_gl.out.find("(auto: no OpenGL ES context)"), std::string::npos) << without_gl.out;
    EXPECT_EQ(cpu.status, 0) << cpu.err;
    EXPECT_EQ(read_png(folder.path("out3.png")).image.width, 48);
    EXPECT_EQ(gpu.status, kExitGpu) << gpu.err;
    EXPECT_NE(gpu.err.find("no EGL display"), std::string::npos) << gpu.err;
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_NE(version.out.find("\nOpenGL ES renderer: none ("), std::string::npos) << version.out;
}

TEST_F(UpscaleToolTest, ClipKeepsFramesTimestampsAndSound)
{
    SampleClip clip = sample_clip(64, 36, 12, true);
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

// The stages overlapped write what they write one after another: MP4 byte for byte; Matroska,
// whose muxer draws fresh identifiers for every file, packet for packet in the same order.
TEST_F(UpscaleToolTest, OverlappedStagesWriteWhatSerialStagesWrite)
{
    write_sample_clip(folder.path("in.mp4"), OutputKind::Mp4, sample_clip(64, 36, 30, true));
    for (const char* name : {"mp4", "mkv"}) {
        const std::string extension = name;
        ToolRun overlapped = run({folder.path("in.mp4"), folder.path("overlapped." + extension)});
        ASSERT_EQ(overlapped.status, 0) << overlapped.err;
        setenv("VELMO_UPSCALE_SERIAL", "1", 1);
        ToolRun serial = run({folder.path("in.mp4"), folder.path("serial." + extension)});
        unsetenv("VELMO_UPSCALE_SERIAL");
        ASSERT_EQ(serial.status, 0) << serial.err;
        EXPECT_EQ(overlapped.err, serial.err);
        std::string written = ScratchFolder::read(folder.path("overlapped." + extension));
        std::string expected = ScratchFolder::read(folder.path("serial." + extension));
        ASSERT_EQ(written.size(), expected.size()) << extension;
        if (extension == "mp4") {
            EXPECT_TRUE(written == expected) << "the overlapped MP4 differs from the serial one";
        }
        std::string packets = packet_sequence(folder.path("overlapped." + extension));
        EXPECT_FALSE(packets.empty());
        EXPECT_TRUE(packets == packet_sequence(folder.path("serial." + extension))) << extension;
    }
}

// A stage failing midway (the encoder's output full) stops the others and ends the run as it ends
// with the stages in turn: same status, same message, no hang.
TEST_F(UpscaleToolTest, OverlappedStageFailureEndsTheRunAsSerialDoes)
{
    write_sample_clip(folder.path("in.mp4"), OutputKind::Mp4, sample_clip(64, 36, 30, false));
    std::string err[2];
    int status[2] = {-1, -1};
    for (int serial = 0; serial < 2; ++serial) {
        std::string command = "VELMO_UPSCALE_SERIAL=" + std::to_string(serial) + " " +
                              shell_quoted(VELMO_UPSCALE_PATH) + " --config-dir " + shell_quoted(config.path()) + " " +
                              shell_quoted(folder.path("in.mp4")) +
                              " - >/dev/full 2>" + shell_quoted(folder.path("err.txt"));
        int raw = std::system(command.c_str());
        status[serial] = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        err[serial] = ScratchFolder::read(folder.path("err.txt"));
    }
    EXPECT_EQ(status[0], kExitOutput) << err[0];
    EXPECT_EQ(status[0], status[1]);
    EXPECT_EQ(err[0], err[1]);
    EXPECT_NE(err[0].find("cannot write '-'"), std::string::npos) << err[0];
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
    SampleClip clip = sample_clip(32, 18, 3, true);
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
    std::string empty = folder.write("empty.mp4", "");
    // An MP4 recording cut off before its index was written: a file type box and the media.
    std::string unfinished = folder.write("unfinished.mp4", std::string("\0\0\0\x10" "ftypisom\0\0\2\0", 16) +
                                                                std::string("\0\0\0\x10" "mdat", 8) + std::string(8, 'x'));
    std::string missing_folder = folder.path("no/such/folder/out.png");
    std::string wide = config.path("wide.y4m"); // wider than MPEG-4 Part 2 allows
    write_still_y4m(wide, 8200, 8, 1);
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{folder.path("missing.png"), folder.path("out.png")}, kExitInput, "cannot open '" + folder.path("missing.png") + "': No such file or directory"},
        {{text, folder.path("out.mp4")}, kExitInput, "'" + text + "' is neither a PNG nor a video FFmpeg can read"},
        {{folder.path(), folder.path("out.mp4")}, kExitInput, "it is a folder"},
        {{empty, folder.path("out.mp4")}, kExitInput, "FFmpeg can read: the file is empty"},
        {{unfinished, folder.path("out.mp4")}, kExitInput, "without its index (the moov box): it was cut off"},
        {{png, folder.path("out.avi")}, kExitUsage, "the tool does not write .avi files"},
        {{png, missing_folder}, kExitOutput, "cannot write '" + missing_folder + "': No such file or directory"},
        {{png, folder.path("out.png"), "--compare", missing_folder}, kExitOutput, "cannot write '" + missing_folder + "'"},
        {{"--scale", "3000", png, folder.path("out.png")}, kExitUsage, "--scale must be a number from 0 to 1000, not '3000'"},
        {{"--backend", "gpu", "--width", "20000", png, folder.path("out.png")}, kExitUsage, "the output would be 20000x20000; this OpenGL ES driver"},
        {{"--scale", "0", png, folder.path("out.png")}, kExitUsage, "--scale 0 leaves nothing of a 8x8 picture"},
        {{"--level", "9", png, folder.path("out.png")}, kExitUsage, "--level must be a whole number from 1 to 3"},
        {{"--backend", "vulkan", png, folder.path("out.png")}, kExitUsage, "--backend must be auto, gpu or cpu, not 'vulkan'"},
        {{png, folder.path("out.mp4")}, kExitUsage, "is a PNG picture; write it to a .png file"},
        {{png, png}, kExitUsage, "is the input itself"},
        {{"--scale", "1", "--codec", "mpeg4", wide, folder.path("wide.mp4")}, kExitUsage,
         "the mpeg4 encoder refuses 8200x8 yuv420p frames for '" + folder.path("wide.mp4") + "'"},
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
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"empty.mp4", "in.png", "notes.mp4", "unfinished.mp4"}))
        << "a failed run left files";
}

TEST_F(UpscaleToolTest, HelpAndVersion)
{
    ToolRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--scale", "--width", "--height", "--level", "--sharpness", "--smooth", "--sigma-s",
                               "--sigma-r", "--priority", "--no-edge-adaptive", "--face-protection", "--config-dir",
                               "--compare", "--compare-with", "--backend", "-o DIR", "-y", "-n", "--verbose", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;

    ToolRun version = run({"--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out.rfind("velmo-upscale ", 0), 0u) << version.out;
    EXPECT_NE(version.out.find(std::string("\nvelmo ") + velmo_version() + "\n"), std::string::npos) << version.out;
    EXPECT_NE(version.out.find("\nOpenGL ES renderer: llvmpipe"), std::string::npos) << version.out;
}

// velmo's own records (its log lines and its HiLog lines) stay off standard error unless
// --verbose asks for them; the tool's summary is there either way.
TEST_F(UpscaleToolTest, VelmoLogOnlyWithVerbose)
{
    const std::string input = picture("in.png", marked_picture(8, 8));
    ToolRun quiet = run({"-y", "--backend", "gpu", input, folder.path("out.png")});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("[VelmoApi.cpp("), std::string::npos) << quiet.err;
    EXPECT_EQ(quiet.err.find("GPUVertexArray"), std::string::npos) << quiet.err;

    ToolRun verbose = run({"-y", "--verbose", "--backend", "gpu", input, folder.path("out.png")});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.err.find("[VelmoApi.cpp(85)] velmo_init version: "), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.out.find("velmo-upscale: "), std::string::npos) << verbose.out;
}

TEST_F(UpscaleToolTest, NamesAreFilesNeverUrls)
{
    // Relative names that FFmpeg would take for its pipe and concat protocols. If the tool read its
    // standard input, it would find a clip of another size there.
    write_still_y4m(folder.path("pipe:0.y4m"), 32, 16, 3);
    write_still_y4m(folder.path("a.y4m"), 16, 16, 2);
    write_still_y4m(folder.path("other.y4m"), 8, 8, 1);
    folder.write("concat:a.y4m|a.y4m", "");
    folder.write("-h.png", ScratchFolder::read(picture("marked.png", marked_picture(8, 6))));
    cwd = folder.path();
    stdin_from = folder.path("other.y4m");

    ToolRun piped = run({"pipe:0.y4m", "pipe:1.y4m"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out.rfind("velmo-upscale: pipe:0.y4m 32x16 -> pipe:1.y4m 48x24", 0), 0u) << piped.out;
    DecodedVideo output = decode_video(folder.path("pipe:1.y4m"));
    EXPECT_EQ(output.frames.size(), 3u);
    EXPECT_EQ(output.info.width, 48);

    ToolRun concat = run({"concat:a.y4m|a.y4m", "joined.y4m"});
    EXPECT_EQ(concat.status, kExitInput) << concat.out;

    ToolRun dashed = run({"--", "-h.png", "dashed.png"});
    ASSERT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_EQ(read_png(folder.path("dashed.png")).image.width, 12);
}

TEST_F(UpscaleToolTest, StandardInputAndOutputCarryStreams)
{
    // A Y4M stream in and out, as between two programs of a pipeline; the summary then goes to
    // standard error.
    write_still_y4m(folder.path("in.y4m"), 32, 18, 3);
    stdin_from = folder.path("in.y4m");
    ToolRun streamed = run({"-", "-"});
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    // 48x27 has an odd side, which 4:2:0 video cannot have: 48x28.
    EXPECT_NE(streamed.err.find("velmo-upscale: - 32x18 -> - 48x28: 3 frames"), std::string::npos) << streamed.err;
    folder.write("out.y4m", streamed.out);
    DecodedVideo output = decode_video(folder.path("out.y4m"));
    EXPECT_EQ(output.frames.size(), 3u);
    EXPECT_EQ(output.info.width, 48);
    EXPECT_EQ(output.info.height, 28);

    // A PNG through a pipe: looking at its first bytes must not lose them.
    stdin_from = picture("in.png", marked_picture(16, 8));
    ToolRun png = run({"/dev/stdin", folder.path("out.png")});
    ASSERT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(read_png(folder.path("out.png")).image.width, 24);
}

TEST_F(UpscaleToolTest, OutputsGoWhereTheirNamesLead)
{
    std::string input = picture("in.png", marked_picture(16, 8));

    // The longest name a folder takes, although the temporary name beside it would be longer.
    std::string longest = folder.path(std::string(251, 'x') + ".png");
    ToolRun result = run({input, longest});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_png(longest).image.width, 24);

    // A symbolic link is written through and stays a link.
    folder.write("real.png", "old");
    ASSERT_EQ(::symlink("real.png", folder.path("link.png").c_str()), 0);
    result = run({"-y", input, folder.path("link.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    struct stat info {};
    ASSERT_EQ(::lstat(folder.path("link.png").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read_png(folder.path("real.png")).image.width, 24);

    // A named pipe is written into, not replaced.
    ASSERT_EQ(::mkfifo(folder.path("fifo.png").c_str(), 0600), 0);
    std::string command = "cat " + shell_quoted(folder.path("fifo.png")) + " >" + shell_quoted(folder.path("drained.png")) +
                          " & " + shell_quoted(VELMO_UPSCALE_PATH) + " --config-dir " + shell_quoted(config.path()) + " " +
                          shell_quoted(input) + " " + shell_quoted(folder.path("fifo.png")) + " >/dev/null 2>&1 </dev/null; " +
                          "status=$?; wait; exit $status";
    int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
    ASSERT_EQ(::lstat(folder.path("fifo.png").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(read_png(folder.path("drained.png")).image.width, 24);

    // The comparison picture may not replace the output it shows.
    result = run({input, folder.path("out.png"), "--compare", folder.path("./out.png")});
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_NE(result.err.find("is the output itself"), std::string::npos) << result.err;

    std::vector<std::string> names = folder.names();
    EXPECT_TRUE(std::none_of(names.begin(), names.end(), [](const std::string& name) {
        return name.find(".velmo-") != std::string::npos;
    })) << "temporary files were left";
}

TEST_F(UpscaleToolTest, ExistingOutputsAreReplacedOnlyWhenAllowed)
{
    std::string input = picture("in.png", marked_picture(16, 8));
    std::string output = folder.write("out.png", "old");

    ToolRun refused = run({input, output});
    EXPECT_EQ(refused.status, kExitOutput);
    EXPECT_NE(refused.err.find("'" + output + "' already exists; -y overwrites it"), std::string::npos)
        << refused.err;
    ToolRun never = run({"-n", input, output});
    EXPECT_EQ(never.status, kExitOutput);
    EXPECT_EQ(ScratchFolder::read(output), "old");

    // On a terminal the tool asks; "n" keeps the file, "y" replaces it.
    for (const char* answer : {"n\n", "y\n"}) {
        int terminal = -1;
        pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::execl(VELMO_UPSCALE_PATH, VELMO_UPSCALE_PATH, "--config-dir", config.path().c_str(), input.c_str(),
                    output.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::string seen;
        char buffer[256];
        while (seen.find("Overwrite? [y/N]") == std::string::npos) {
            ssize_t count = ::read(terminal, buffer, sizeof buffer);
            if (count <= 0)
                break;
            seen.append(buffer, static_cast<size_t>(count));
        }
        EXPECT_NE(seen.find("'" + output + "' already exists. Overwrite? [y/N]"), std::string::npos) << seen;
        ASSERT_EQ(::write(terminal, answer, 2), 2);
        while (::read(terminal, buffer, sizeof buffer) > 0) {
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(terminal);
        EXPECT_EQ(WEXITSTATUS(status), answer[0] == 'y' ? kExitOk : kExitOutput) << answer;
    }
    EXPECT_EQ(read_png(output).image.width, 24);
}

TEST_F(UpscaleToolTest, AnySizeInVelmoPassesOfAtMostTwo)
{
    std::string input = picture("in.png", marked_picture(20, 12));
    struct Case {
        std::vector<std::string> options;
        int width, height;
        std::string passes; // "" for one pass
    };
    const std::vector<Case> cases = {
        {{"--scale", "4"}, 80, 48, "2 velmo passes (2 x 2)"},
        {{"--scale", "3"}, 60, 36, "2 velmo passes (2 x 1.5)"},
        {{"--width", "50"}, 50, 30, "2 velmo passes (2 x 1.25)"},
        {{"--width", "33"}, 33, 19, ""},
        {{"--height", "40"}, 66, 40, "2 velmo passes (2 x 1.667)"},
        {{"--width", "40", "--height", "40"}, 40, 24, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"-y", input, folder.path("out.png")});
        ToolRun result = run(arguments);
        std::string call = ::testing::PrintToString(c.options);
        ASSERT_EQ(result.status, 0) << call << "\n" << result.err;
        RgbaImage output = read_png(folder.path("out.png")).image;
        EXPECT_EQ(output.width, c.width) << call;
        EXPECT_EQ(output.height, c.height) << call;
        EXPECT_EQ(result.out.find("velmo passes") != std::string::npos, !c.passes.empty()) << call << result.out;
        if (!c.passes.empty()) {
            EXPECT_NE(result.out.find(c.passes), std::string::npos) << call << "\n" << result.out;
        }
        // Orientation survives every pass: green band on top, red on the left, blue on the right.
        EXPECT_GT(output.at(output.width / 2, 1)[1], 150) << call;
        EXPECT_GT(output.at(1, output.height - 2)[0], 150) << call;
        EXPECT_GT(output.at(output.width - 2, output.height - 2)[2], 150) << call;
    }
}

// Above 2x the skin smoothing runs once, in the first pass, as sharpening runs once in the last:
// --scale 4 draws what --scale 2 and then an unsmoothed --scale 2 draw.
TEST_F(UpscaleToolTest, SmoothingRunsInTheFirstPassOnly)
{
    std::string input = picture("in.png", render_sample_scene(64, 36, 0.0));
    ASSERT_EQ(run({"--smooth", "--sharpness", "0", "--scale", "4", input, folder.path("once.png")}).status, 0);
    ASSERT_EQ(run({"--smooth", "--sharpness", "0", "--scale", "2", input, folder.path("half.png")}).status, 0);
    ASSERT_EQ(run({"--sharpness", "0", "--scale", "2", folder.path("half.png"), folder.path("steps.png")}).status, 0);
    EXPECT_LT(mean_difference(read_png(folder.path("once.png")).image, read_png(folder.path("steps.png")).image), 0.05);
}

TEST_F(UpscaleToolTest, SixteenBitPngKeepsItsBrightness)
{
    // FFmpeg writes 16-bit PNGs without a gAMA chunk: their samples are as bright as 8-bit ones.
    ASSERT_TRUE(velmo_upscale_test::write_grey16_png(folder.path("grey16.png"), 8, 8, 0x8080));
    ToolRun result = run({"--priority", "0", folder.path("grey16.png"), folder.path("out.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    RgbaImage output = read_png(folder.path("out.png")).image;
    EXPECT_NEAR(output.at(6, 6)[0], 0x80, 1);
    EXPECT_NEAR(output.at(6, 6)[2], 0x80, 1);
}

TEST_F(UpscaleToolTest, TruncatedVideoKeepsWhatWasReadAndSaysSo)
{
    SampleClip clip = sample_clip(64, 36, 24, false);
    write_sample_clip(folder.path("whole.mp4"), OutputKind::Mp4, clip);
    std::string whole = ScratchFolder::read(folder.path("whole.mp4"));
    std::string cut = folder.write("cut.mp4", whole.substr(0, whole.size() * 3 / 5));

    ToolRun result = run({cut, folder.path("out.y4m")});
    EXPECT_EQ(result.status, kExitInput);
    size_t frames = decode_video(folder.path("out.y4m")).frames.size();
    EXPECT_GT(frames, 0u);
    EXPECT_LT(frames, 24u);
    EXPECT_NE(result.err.find("'" + cut + "' ended early"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(std::to_string(frames) + " frames written to '" + folder.path("out.y4m") + "'"),
              std::string::npos)
        << result.err;
}

TEST_F(UpscaleToolTest, BatchGoesOnAfterAFailure)
{
    picture("a.png", marked_picture(16, 8));
    write_still_y4m(folder.path("b.y4m"), 16, 8, 2);
    ScratchFolder results;
    std::string again = config.path("a.png"); // another a.png, which would replace the first result
    save_png(again, marked_picture(4, 4), false);
    ToolRun batch = run({"-o", results.path(), folder.path("a.png"), folder.path("missing.png"), folder.path("b.y4m"),
                         again});
    EXPECT_EQ(batch.status, kExitInput);
    EXPECT_EQ(results.names(), (std::vector<std::string>{"a.png", "b.y4m"}));
    EXPECT_EQ(read_png(results.path("a.png")).image.width, 24);
    EXPECT_EQ(decode_video(results.path("b.y4m")).frames.size(), 2u);
    EXPECT_NE(batch.err.find("cannot open '" + folder.path("missing.png") + "'"), std::string::npos) << batch.err;
    EXPECT_NE(batch.out.find("velmo-upscale: 4 inputs: 2 written to " + results.path() + ", 2 failed (" +
                             folder.path("missing.png") + ", " + again + ")"),
              std::string::npos)
        << batch.out;
}

TEST_F(UpscaleToolTest, MkvKeepsEveryStreamChapterAndTagAndMp4NamesWhatItLeavesOut)
{
    write_rich_mkv(folder.path("in.mkv"));
    ToolRun result = run({folder.path("in.mkv"), folder.path("out.mkv")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find("note:"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("1 audio stream, 1 subtitle stream, 1 attachment copied"), std::string::npos)
        << result.out;

    OpenedFile mkv(folder.path("out.mkv"));
    ASSERT_TRUE(mkv.is_open());
    EXPECT_EQ(mkv.tag(mkv->metadata, "title"), "Harbour at dusk");
    ASSERT_EQ(mkv->nb_chapters, 2u);
    EXPECT_EQ(mkv.tag(mkv->chapters[1]->metadata, "title"), "Close");
    EXPECT_EQ(av_rescale_q(mkv->chapters[1]->start, mkv->chapters[1]->time_base, AVRational{1, 1000}), 250);
    ASSERT_EQ(mkv->nb_streams, 4u);
    const AVStream& video = *mkv->streams[0];
    const AVStream& sound = *mkv->streams[1];
    const AVStream& subtitles = *mkv->streams[2];
    const AVStream& font = *mkv->streams[3];
    EXPECT_EQ(video.codecpar->width, 96);
    EXPECT_EQ(mkv.tag(video.metadata, "title"), "Main picture");
    EXPECT_EQ(mkv.tag(video.metadata, "language"), "eng");
    EXPECT_EQ(sound.codecpar->codec_id, AV_CODEC_ID_PCM_S16LE);
    EXPECT_EQ(mkv.tag(sound.metadata, "language"), "deu");
    EXPECT_EQ(mkv.tag(sound.metadata, "title"), "Commentary");
    EXPECT_EQ(subtitles.codecpar->codec_id, AV_CODEC_ID_SUBRIP);
    EXPECT_EQ(mkv.tag(subtitles.metadata, "language"), "fra");
    EXPECT_TRUE(subtitles.disposition & AV_DISPOSITION_FORCED);
    EXPECT_FALSE(subtitles.disposition & AV_DISPOSITION_DEFAULT) << "subtitles would be shown unasked";
    EXPECT_EQ(font.codecpar->codec_type, AVMEDIA_TYPE_ATTACHMENT);
    EXPECT_EQ(mkv.tag(font.metadata, "filename"), "font.ttf");
    EXPECT_EQ(mkv.tag(font.metadata, "mimetype"), "application/x-truetype-font");
    std::vector<uint8_t> expected_font = sample_font();
    EXPECT_EQ(std::vector<uint8_t>(font.codecpar->extradata, font.codecpar->extradata + font.codecpar->extradata_size),
              expected_font);
    const std::vector<std::pair<int64_t, int64_t>> subtitle_times = {{0, 200}, {250, 450}};
    EXPECT_EQ(mkv.packets(2), subtitle_times);
    DecodedVideo frames_in = decode_video(folder.path("in.mkv"));
    DecodedVideo frames_out = decode_video(folder.path("out.mkv"));
    ASSERT_EQ(frames_out.frames.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_DOUBLE_EQ(frames_out.seconds(i), frames_in.seconds(i)) << "frame " << i;

    // MP4 holds the title and the chapters, the subtitles as its own timed text, the PCM sound as
    // AAC, but no attachments, nor a track title.
    result = run({folder.path("in.mkv"), folder.path("out.mp4")});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* item : {"audio stream #1 (pcm_s16le) re-encoded as aac, which MP4 players play",
                             "subtitle stream #2 (subrip) written as mov_text, which MP4 holds",
                             "attachment #3 (ttf font.ttf) cannot go into MP4; left out",
                             "MP4 output left out the tag 'title' of video stream #0"})
        EXPECT_NE(result.err.find(std::string("velmo-upscale: note: ") + item), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("chapter"), std::string::npos) << result.err;
    OpenedFile mp4(folder.path("out.mp4"));
    EXPECT_EQ(mp4.tag(mp4->metadata, "title"), "Harbour at dusk");
    EXPECT_EQ(mp4->nb_chapters, 2u);

    EXPECT_EQ(mp4->streams[1]->codecpar->codec_id, AV_CODEC_ID_AAC);

    // And back without the sound (whose AAC priming would move every stream, as with ffmpeg): MP4's
    // timed text becomes SubRip in Matroska, words and times intact.
    result = run({"--no-audio", folder.path("out.mp4"), folder.path("back.mkv")});
    ASSERT_EQ(result.status, 0) << result.err;
    OpenedFile back(folder.path("back.mkv"));
    ASSERT_EQ(back->nb_streams, 2u);
    EXPECT_EQ(back->streams[1]->codecpar->codec_id, AV_CODEC_ID_SUBRIP);
    EXPECT_EQ(back.tag(back->streams[1]->metadata, "language"), "fra");
    std::string text;
    EXPECT_EQ(back.packets(1, &text, 2), subtitle_times);
    EXPECT_NE(text.find("Bonjour"), std::string::npos) << text;
    EXPECT_NE(text.find("Au revoir"), std::string::npos) << text;
}

TEST_F(UpscaleToolTest, TenBitHdrStaysTenBitWithItsMetadata)
{
    write_hdr10_mkv(folder.path("hdr.mkv"));
    DecodedVideo input = decode_video(folder.path("hdr.mkv"));
    ASSERT_EQ(input.info.bit_depth, 10);
    struct Case {
        std::vector<std::string> options;
        std::string output;
        std::string encoder;
    };
    for (const Case& c : {Case{{}, "out.mkv", "libx264 (yuv420p10le)"},
                          Case{{"--codec", "libx265", "--preset", "ultrafast"}, "out.mp4", "libx265 (yuv420p10le)"}}) {
        std::vector<std::string> arguments = c.options;
        arguments.push_back(folder.path("hdr.mkv"));
        arguments.push_back(folder.path(c.output));
        ToolRun result = run(arguments);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err.find("note:"), std::string::npos) << result.err;
        EXPECT_NE(result.out.find(c.encoder + ", 10-bit input processed at 8 bits per channel"), std::string::npos)
            << result.out;

        OpenedFile output(folder.path(c.output));
        ASSERT_TRUE(output.is_open());
        const AVStream& video = *output->streams[0];
        EXPECT_EQ(video.codecpar->format, AV_PIX_FMT_YUV420P10) << c.output;
        EXPECT_EQ(video.codecpar->color_primaries, AVCOL_PRI_BT2020) << c.output;
        EXPECT_EQ(video.codecpar->color_trc, AVCOL_TRC_SMPTE2084) << c.output;
        EXPECT_EQ(video.codecpar->color_space, AVCOL_SPC_BT2020_NCL) << c.output;
        EXPECT_EQ(video.codecpar->color_range, AVCOL_RANGE_MPEG) << c.output;
        auto* display = reinterpret_cast<const AVMasteringDisplayMetadata*>(
            av_stream_get_side_data(&video, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, nullptr));
        auto* light = reinterpret_cast<const AVContentLightMetadata*>(
            av_stream_get_side_data(&video, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, nullptr));
        ASSERT_TRUE(display && light) << c.output;
        EXPECT_EQ(av_q2d(display->max_luminance), 1000.0);
        EXPECT_NEAR(av_q2d(display->display_primaries[1][1]), 0.797, 1e-4) << "green y";
        EXPECT_EQ(light->MaxCLL, 800u);
        EXPECT_EQ(light->MaxFALL, 400u);

        // Converted back with the matrix and range it came with: the picture keeps its brightness.
        DecodedVideo decoded = decode_video(folder.path(c.output));
        ASSERT_EQ(decoded.frames.size(), 6u);
        EXPECT_NEAR(mean_level(decoded.frames[3]), mean_level(input.frames[3]), 3.0) << c.output;
    }

    // HDR10 metadata that only the HEVC bitstream carries reaches the container as well.
    // A bare elementary stream, whose only metadata is what the video bitstream itself carries.
    velmo_upscale_test::copy_first_stream(folder.path("out.mp4"), folder.path("bare.hevc"), "hevc");
    ToolRun bare = run({folder.path("bare.hevc"), folder.path("from-bare.mkv")});
    ASSERT_EQ(bare.status, 0) << bare.err;
    OpenedFile from_bare(folder.path("from-bare.mkv"));
    auto* light = reinterpret_cast<const AVContentLightMetadata*>(
        av_stream_get_side_data(from_bare->streams[0], AV_PKT_DATA_CONTENT_LIGHT_LEVEL, nullptr));
    ASSERT_TRUE(light);
    EXPECT_EQ(light->MaxCLL, 800u);
    EXPECT_TRUE(av_stream_get_side_data(from_bare->streams[0], AV_PKT_DATA_MASTERING_DISPLAY_METADATA, nullptr));
    // Into Y4M, which has no place for it, it is named as left out like the container's own.
    ToolRun bare_y4m = run({folder.path("bare.hevc"), folder.path("from-bare.y4m")});
    ASSERT_EQ(bare_y4m.status, 0) << bare_y4m.err;
    EXPECT_NE(bare_y4m.err.find("note: Y4M output left out the mastering-display metadata and the content light level"),
              std::string::npos)
        << bare_y4m.err;

    ToolRun eight_bit = run({"--codec", "mpeg4", folder.path("hdr.mkv"), folder.path("mpeg4.mkv")});
    ASSERT_EQ(eight_bit.status, 0) << eight_bit.err;
    EXPECT_NE(eight_bit.err.find("note: mpeg4 cannot write 10-bit video; written 8-bit"), std::string::npos)
        << eight_bit.err;

    ToolRun y4m = run({folder.path("hdr.mkv"), folder.path("out.y4m")});
    ASSERT_EQ(y4m.status, 0) << y4m.err;
    EXPECT_EQ(decode_video(folder.path("out.y4m")).info.bit_depth, 10);
    for (const char* item : {"the transfer characteristic (smpte2084)", "the mastering-display metadata of video stream #0",
                             "the content light level of video stream #0"})
        EXPECT_NE(y4m.err.find(std::string("note: Y4M output left out ") + item), std::string::npos) << y4m.err;
}

TEST_F(UpscaleToolTest, CodecCrfAndPresetChooseTheEncoder)
{
    SampleClip clip = sample_clip(64, 36, 3, false);
    write_sample_clip(folder.path("in.mp4"), OutputKind::Mp4, clip);
    std::string in = folder.path("in.mp4");
    struct Encoded {
        std::vector<std::string> arguments;
        std::string output;
        AVCodecID codec;
    };
    // "av1" is SVT-AV1, which takes --preset, rather than libaom, which FFmpeg lists first; WebM
    // is VP9 and MOV is H.264 unless asked otherwise.
    for (const Encoded& c : {Encoded{{"--codec", "ffv1"}, "lossless.mkv", AV_CODEC_ID_FFV1},
                             Encoded{{"--codec", "libx265", "--crf", "30", "--preset", "ultrafast"}, "hevc.mp4",
                                     AV_CODEC_ID_HEVC},
                             Encoded{{"--codec", "av1", "--crf", "40", "--preset", "12", "--scale", "2"}, "av1.mkv",
                                     AV_CODEC_ID_AV1},
                             Encoded{{}, "vp9.webm", AV_CODEC_ID_VP9}, Encoded{{}, "h264.mov", AV_CODEC_ID_H264}}) {
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back(in);
        arguments.push_back(folder.path(c.output));
        ToolRun result = run(arguments);
        ASSERT_EQ(result.status, 0) << c.output << "\n" << result.err;
        EXPECT_TRUE(result.err.empty()) << "encoder chatter: " << result.err;
        OpenedFile output(folder.path(c.output));
        ASSERT_TRUE(output.is_open()) << c.output;
        EXPECT_EQ(output->streams[0]->codecpar->codec_id, c.codec) << c.output;
        // Apple's players refuse MP4's default HEVC tag, hev1.
        if (c.codec == AV_CODEC_ID_HEVC) {
            EXPECT_EQ(output->streams[0]->codecpar->codec_tag, MKTAG('h', 'v', 'c', '1'));
        }
        EXPECT_EQ(decode_video(folder.path(c.output)).frames.size(), 3u) << c.output;
    }

    struct Refused {
        std::vector<std::string> arguments;
        std::string message;
    };
    std::string mkv = folder.path("out.mkv");
    const std::vector<Refused> refused = {
        {{"--codec", "nosuch", in, mkv}, "--codec nosuch: this FFmpeg build has no encoder of that name"},
        {{"--codec", "aac", in, mkv}, "--codec aac: aac is not a video encoder"},
        {{"--codec", "ffv1", in, folder.path("out.mp4")}, "ffv1 video cannot go into MP4; write a .mkv file"},
        {{"--codec", "ffv1", "--crf", "10", in, mkv}, "the ffv1 encoder takes no --crf"},
        {{"--codec", "libaom-av1", "--preset", "fast", in, mkv}, "the libaom-av1 encoder takes no --preset"},
        {{"--preset", "turbo", in, mkv}, "the libx264 encoder takes --preset ultrafast, superfast"},
        {{"--crf", "60", in, mkv}, "the libx264 encoder takes --crf from 0 to 51, not '60'"},
        {{"--codec", "libsvtav1", "--preset", "20", in, mkv}, "the libsvtav1 encoder takes --preset from -1"},
        {{"--crf", "20", in, folder.path("out.y4m")}, "--codec, --crf and --preset choose the encoder of .mp4, .mov"},
    };
    for (const Refused& c : refused) {
        ToolRun result = run(c.arguments);
        std::string call = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.status, kExitUsage) << call << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << call << "\n" << result.err;
    }
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"av1.mkv", "h264.mov", "hevc.mp4", "in.mp4", "lossless.mkv", "vp9.webm"}));
}
