// velmo-upscale on inputs that people bring rather than make: cut-outs over hidden colour, big
// scales, pictures with their own colour profile, video names that look like URLs, cut downloads,
// MP4s on a pipe with the index last, full-range video in a container that cannot mark it, streams
// that change size, interlaced video, 4:4:4 and 4:2:2 video, phone clips with a display rotation.
#include <gtest/gtest.h>
#include <png.h>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "DecodedVideo.h"
#include "FirstStreamCopy.h"
#include "PngColourLabels.h"
#include "PngIo.h"
#include "SampleScene.h"
#include "ScratchFolder.h"
#include "ToolError.h"
#include "ToolInFolderTest.h"
#include "ToolRun.h"
#include "VideoWriter.h"

using namespace velmo_upscale;
using velmo_upscale_test::colour_labels;
using velmo_upscale_test::ColourLabels;
using velmo_upscale_test::decode_video;
using velmo_upscale_test::ScratchFolder;
using velmo_upscale_test::shell_quoted;
using velmo_upscale_test::ToolRun;

namespace {

const bool kQuietFfmpeg = (set_ffmpeg_verbosity(false), true);

class EverydayInputsTest : public velmo_upscale_test::ToolInFolderTest {};

// Frames of the sample scene, or of noise that no encoder can shrink much.
void write_clip(const std::string& path, OutputKind kind, int width, int height, int frames, bool noise = false,
                AVColorRange range = AVCOL_RANGE_UNSPECIFIED, const EncoderRequest& request = {})
{
    VideoFormat format;
    format.width = width;
    format.height = height;
    format.time_base = AVRational{1, 24};
    format.frame_rate = AVRational{24, 1};
    format.color.range = range;
    VideoWriter writer(path, kind, format, request);
    writer.start();
    std::mt19937 random(7);
    for (int i = 0; i < frames; ++i) {
        RgbaImage frame = render_sample_scene(width, height, i / 24.0);
        for (size_t p = 0; noise && p < frame.pixels.size(); ++p)
            frame.pixels[p] = p % 4 == 3 ? 255 : static_cast<uint8_t>(random());
        writer.write_frame(frame, i);
    }
    writer.finish();
}

// Red and blue columns of one value, green in stripes: the edge refinement moves all three channels
// by what it reads from green, and each unsharp mask moves them further.
RgbaImage striped_picture(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = 128;
            p[1] = (x + y) % 2 ? 40 : 210;
            p[2] = 128;
            p[3] = 255;
        }
    return image;
}

// A small display profile: the header, a white point and a copyright text, with a made-up creator
// so that its bytes are recognisably the test's own. (libpng ignores profiles that compress into
// fewer than 11 bytes after an 81-byte keyword area, so the text must not be too tame.)
std::vector<png_byte> display_profile()
{
    const std::string copyright = "velmo test display, gamut wider than sRGB; no rights reserved 0123456789 "
                                  "The quick brown fox jumps over the lazy dog!";
    std::vector<png_byte> profile((176 + 8 + copyright.size() + 3) & ~size_t{3}, 0);
    auto put = [&profile](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            profile[at + i] = static_cast<png_byte>(value >> (24 - 8 * i));
    };
    put(0, static_cast<uint32_t>(profile.size()));
    put(8, 0x02100000);  // version 2.1
    put(12, 0x6D6E7472); // 'mntr'
    put(16, 0x52474220); // 'RGB '
    put(20, 0x58595A20); // 'XYZ '
    put(36, 0x61637370); // 'acsp'
    put(68, 0x0000F6D6); // the D50 illuminant
    put(72, 0x00010000);
    put(76, 0x0000D32D);
    put(80, 0x76656C6D); // creator 'velm'
    put(128, 2);         // tags: 'wtpt' at 156 (XYZ type), 'cprt' at 176 (text type)
    put(132, 0x77747074);
    put(136, 156);
    put(140, 20);
    put(144, 0x63707274);
    put(148, 176);
    put(152, static_cast<uint32_t>(8 + copyright.size()));
    put(156, 0x58595A20);
    put(164, 0x0000F351); // a white point near D65
    put(168, 0x00010000);
    put(172, 0x000116CC);
    put(176, 0x74657874);
    std::copy(copyright.begin(), copyright.end(), profile.begin() + 184);
    return profile;
}

bool write_png_with_profile(const std::string& path, const RgbaImage& image, const std::vector<png_byte>& profile)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_iCCP(png, info, "Wide display", PNG_COMPRESSION_TYPE_BASE, profile.data(),
                 static_cast<png_uint_32>(profile.size()));
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.at(0, y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// A grey JPEG from FFmpeg's encoder, with `profile` in an APP2 segment right after the start
// marker, where cameras and phones put theirs.
std::string jpeg_with_profile(int width, int height, const std::vector<png_byte>& profile)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    std::string bytes;
    if (encoder && frame && packet) {
        encoder->width = frame->width = width;
        encoder->height = frame->height = height;
        encoder->pix_fmt = AV_PIX_FMT_YUVJ444P;
        frame->format = AV_PIX_FMT_YUVJ444P;
        encoder->time_base = AVRational{1, 1};
        if (avcodec_open2(encoder, codec, nullptr) == 0 && av_frame_get_buffer(frame, 0) == 0) {
            for (int plane = 0; plane < 3; ++plane)
                for (int y = 0; y < height; ++y)
                    std::fill_n(frame->data[plane] + y * frame->linesize[plane], width, plane ? 128 : 90);
            if (avcodec_send_frame(encoder, frame) == 0 && avcodec_send_frame(encoder, nullptr) == 0 &&
                avcodec_receive_packet(encoder, packet) == 0)
                bytes.assign(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    if (bytes.size() < 2)
        return "";
    std::string segment = std::string("ICC_PROFILE") + '\0' + '\1' + '\1' + std::string(profile.begin(), profile.end());
    size_t length = segment.size() + 2;
    std::string app2 = std::string("\xFF\xE2") + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF);
    return bytes.substr(0, 2) + app2 + segment + bytes.substr(2);
}

// The sample scene as raw H.264 in segments of their own frame size one after another, each with
// its own parameter sets, as a capture whose stream changes size. Lossless, so that the scene
// itself is the reference.
std::string h264_segments(const std::vector<std::pair<int, int>>& sizes, int frames_each)
{
    std::string bytes;
    int index = 0;
    for (const auto& [width, height] : sizes) {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        CodecContextPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
        FramePtr frame(av_frame_alloc());
        PacketPtr packet(av_packet_alloc());
        if (!encoder || !frame || !packet)
            return "";
        encoder->width = frame->width = width;
        encoder->height = frame->height = height;
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        frame->format = AV_PIX_FMT_YUV420P;
        encoder->time_base = AVRational{1, 24};
        encoder->framerate = AVRational{24, 1};
        av_opt_set(encoder->priv_data, "preset", "ultrafast", 0);
        av_opt_set(encoder->priv_data, "qp", "0", 0);
        SwsPtr converter(sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P,
                                        SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
        if (avcodec_open2(encoder.get(), codec, nullptr) < 0 || av_frame_get_buffer(frame.get(), 0) < 0 || !converter)
            return "";
        auto drain = [&] {
            while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
                bytes.append(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
                av_packet_unref(packet.get());
            }
        };
        for (int i = 0; i < frames_each; ++i, ++index) {
            RgbaImage scene = render_sample_scene(width, height, index / 24.0);
            const uint8_t* planes[4] = {scene.pixels.data(), nullptr, nullptr, nullptr};
            const int strides[4] = {width * 4, 0, 0, 0};
            sws_scale(converter.get(), planes, strides, 0, height, frame->data, frame->linesize);
            frame->pts = i;
            avcodec_send_frame(encoder.get(), frame.get());
            drain();
        }
        avcodec_send_frame(encoder.get(), nullptr);
        drain();
    }
    return bytes;
}

// A Y4M clip written sample by sample: `colour` and `interlace` are the header's C and I tags
// ("444p10", "t"), `shift_x`/`shift_y` the chroma subsampling they mean, `sample(plane, x, y, frame)`
// each value.
std::string y4m_clip(int width, int height, int frames, const std::string& colour, int shift_x, int shift_y,
                     int bits, const std::string& interlace, const std::function<int(int, int, int, int)>& sample)
{
    std::string bytes = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F25:1 I" +
                        interlace + " A1:1 C" + colour + "\n";
    for (int frame = 0; frame < frames; ++frame) {
        bytes += "FRAME\n";
        for (int plane = 0; plane < 3; ++plane) {
            int plane_width = plane ? -(-width >> shift_x) : width;
            int plane_height = plane ? -(-height >> shift_y) : height;
            for (int y = 0; y < plane_height; ++y)
                for (int x = 0; x < plane_width; ++x) {
                    int value = sample(plane, x, y, frame);
                    bytes += static_cast<char>(value & 0xFF);
                    if (bits > 8)
                        bytes += static_cast<char>(value >> 8);
                }
        }
    }
    return bytes;
}

// How combed a picture is: the mean distance of each row's green from the mean of its two
// neighbours. Woven fields of a moving edge differ row by row; a progressive edge hardly does.
double comb_measure(const RgbaImage& image)
{
    double sum = 0;
    for (int y = 1; y + 1 < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            sum += std::abs(image.at(x, y)[1] - (image.at(x, y - 1)[1] + image.at(x, y + 1)[1]) / 2.0);
    return sum / (double(image.width) * (image.height - 2));
}

// The field order the file's video stream is marked with.
AVFieldOrder stream_field_order(const std::string& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return AV_FIELD_UNKNOWN;
    AVFieldOrder order = format->nb_streams > 0 ? format->streams[0]->codecpar->field_order : AV_FIELD_UNKNOWN;
    avformat_close_input(&format);
    return order;
}

// Peak signal-to-noise ratio of the colour channels in dB.
double psnr(const RgbaImage& a, const RgbaImage& b)
{
    double squares = 0;
    size_t count = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        if (i % 4 == 3)
            continue;
        double d = double(a.pixels[i]) - double(b.pixels[i]);
        squares += d * d;
        ++count;
    }
    return squares == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(count) / squares);
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

TEST_F(EverydayInputsTest, HiddenColourOfTransparentPixelsStaysHidden)
{
    // A red disc over fully transparent green, as cut-outs and icons often are.
    RgbaImage cutout(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            bool inside = (x - 12) * (x - 12) + (y - 12) * (y - 12) < 64;
            uint8_t* p = cutout.at(x, y);
            p[0] = inside ? 255 : 0;
            p[1] = inside ? 0 : 255;
            p[3] = inside ? 255 : 0;
        }
    save_png(folder.path("cutout.png"), cutout, true);
    ToolRun result = run({"--scale", "2", "cutout.png", "out.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    PngPicture output = read_png(folder.path("out.png"));
    ASSERT_TRUE(output.has_alpha);
    int most_green = 0;
    int edge_pixels = 0;
    for (int y = 0; y < output.image.height; ++y)
        for (int x = 0; x < output.image.width; ++x) {
            const uint8_t* p = output.image.at(x, y);
            if (p[3] > 0)
                most_green = std::max<int>(most_green, p[1]);
            edge_pixels += p[3] > 0 && p[3] < 255;
        }
    EXPECT_GT(edge_pixels, 20) << "the disc has soft edges";
    EXPECT_LE(most_green, 2) << "green leaked into the visible edge, up to " << most_green;

    // Opaque pixels keep exactly the colour they have without an alpha channel.
    RgbaImage opaque = render_sample_scene(30, 18, 0);
    save_png(folder.path("rgb.png"), opaque, false);
    save_png(folder.path("rgba.png"), opaque, true);
    ASSERT_EQ(run({"rgb.png", "rgb-out.png"}).status, 0);
    ASSERT_EQ(run({"rgba.png", "rgba-out.png"}).status, 0);
    EXPECT_EQ(read_png(folder.path("rgb-out.png")).image.pixels, read_png(folder.path("rgba-out.png")).image.pixels);
}

TEST_F(EverydayInputsTest, ScalesAboveTwoSharpenOnce)
{
    save_png(folder.path("tiny.png"), striped_picture(7, 3), false);
    ToolRun result = run({"--width", "1001", "tiny.png", "wide.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    RgbaImage wide = read_png(folder.path("wide.png")).image;
    ASSERT_EQ(wide.width, 1001);
    int lowest = 255;
    int highest = 0;
    for (size_t i = 0; i < wide.pixels.size(); i += 4) {
        lowest = std::min<int>(lowest, wide.pixels[i]);
        highest = std::max<int>(highest, wide.pixels[i]);
    }
    // Eight passes of edge refinement alone spread red over 66-195; the one unsharp mask adds a
    // little to that, while one in every pass spread it over the whole 0-255.
    EXPECT_GE(lowest, 40) << "red 128 went down to " << lowest;
    EXPECT_LE(highest, 216) << "red 128 went up to " << highest;
}

TEST_F(EverydayInputsTest, ColourProfileTravelsWithThePicture)
{
    std::vector<png_byte> profile = display_profile();
    ASSERT_TRUE(write_png_with_profile(folder.path("wide.png"), render_sample_scene(20, 12, 0), profile));
    ASSERT_EQ(colour_labels(folder.path("wide.png")).profile, profile) << "libpng refused the test's profile";
    ToolRun result = run({"wide.png", "out.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    ColourLabels labels = colour_labels(folder.path("out.png"));
    EXPECT_EQ(labels.profile, profile);
    EXPECT_EQ(labels.profile_name, "Wide display");
    EXPECT_FALSE(labels.srgb);

    // A photograph's profile, as FFmpeg decodes it, goes the same way.
    std::string jpeg = jpeg_with_profile(16, 8, profile);
    ASSERT_FALSE(jpeg.empty());
    folder.write("photo.jpg", jpeg);
    result = run({"photo.jpg", "photo.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    labels = colour_labels(folder.path("photo.png"));
    EXPECT_EQ(labels.profile, profile);
    EXPECT_FALSE(labels.srgb);

    save_png(folder.path("plain.png"), render_sample_scene(20, 12, 0), false);
    ASSERT_EQ(run({"plain.png", "plain-out.png"}).status, 0);
    labels = colour_labels(folder.path("plain-out.png"));
    EXPECT_TRUE(labels.srgb);
    EXPECT_TRUE(labels.profile.empty());
}

TEST_F(EverydayInputsTest, VideoNamesAreFilesAndCutMatroskaSaysSo)
{
    write_clip(folder.path("clip.mkv"), OutputKind::Mkv, 64, 36, 24, true);
    ToolRun named = run({"--scale", "1", "clip.mkv", "pipe:1.mp4"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(decode_video(folder.path("pipe:1.mp4")).frames.size(), 24u);

    std::string whole = ScratchFolder::read(folder.path("clip.mkv"));
    folder.write("cut.mkv", whole.substr(0, whole.size() * 3 / 5));
    ToolRun cut = run({"--scale", "1", "cut.mkv", "cut.y4m"});
    EXPECT_EQ(cut.status, kExitInput) << cut.err;
    size_t frames = decode_video(folder.path("cut.y4m")).frames.size();
    EXPECT_GT(frames, 0u);
    EXPECT_LT(frames, 24u);
    EXPECT_NE(cut.err.find("'cut.mkv' ended early (the file is cut short of the size its header announces): " +
                           std::to_string(frames) + " frames written to 'cut.y4m'"),
              std::string::npos)
        << cut.err;
}

TEST_F(EverydayInputsTest, MessagesSayWhatHappenedAndWhatToDo)
{
    // Noise keeps the file larger than what FFmpeg holds back of a pipe, which would hide the fault.
    write_clip(folder.path("faststart.mp4"), OutputKind::Mp4, 96, 54, 24, true, AVCOL_RANGE_UNSPECIFIED,
               {"libx264", "0", "ultrafast"});
    // Muxed again with FFmpeg's defaults, which put the index after the media.
    velmo_upscale_test::copy_first_stream(folder.path("faststart.mp4"), folder.path("index-last.mp4"), "mp4");
    ToolRun piped = run({"-", "out.mp4"}, folder.path("index-last.mp4"));
    EXPECT_EQ(piped.status, kExitInput);
    EXPECT_NE(piped.err.find("'-' is an MP4 whose index (moov) comes after its media, and such a file cannot be "
                             "read from a pipe: give its file name instead, or move the index to the front first "
                             "with 'ffmpeg -i IN -c copy -movflags +faststart OUT'"),
              std::string::npos)
        << piped.err;
    ToolRun by_name = run({"--scale", "1", "index-last.mp4", "out.mp4"});
    EXPECT_EQ(by_name.status, 0) << by_name.err;

    // MPEG-4 Part 2 in MP4 has no place for the range: the values stay full range, unmarked.
    write_clip(folder.path("full.mkv"), OutputKind::Mkv, 32, 18, 2, false, AVCOL_RANGE_JPEG);
    ToolRun full = run({"--codec", "mpeg4", "full.mkv", "full.mp4"});
    EXPECT_EQ(full.status, 0) << full.err;
    EXPECT_NE(full.err.find("note: MP4 output left out the full-range mark: the picture keeps its full-range "
                            "values, which players without the mark show as limited range"),
              std::string::npos)
        << full.err;
}

TEST_F(EverydayInputsTest, SizeChangesMidStreamGoThroughVelmoAtTheirOwnSize)
{
    // 160x90 to 320x180 and back: each frame reaches the first frame's output size from its own size.
    folder.write("capture.h264", h264_segments({{160, 90}, {320, 180}, {160, 90}}, 8));
    ToolRun changed = run({"--scale", "2", "capture.h264", "out.y4m"});
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(occurrences(changed.err, "note: the size changes at frame 9: 160x90 -> 320x180\n"), 1u) << changed.err;
    EXPECT_EQ(occurrences(changed.err, "note: the size changes at frame 17: 320x180 -> 160x90\n"), 1u) << changed.err;
    velmo_upscale_test::DecodedVideo out = decode_video(folder.path("out.y4m"));
    ASSERT_EQ(out.frames.size(), 24u);
    EXPECT_EQ(out.info.width, 320);
    EXPECT_EQ(out.info.height, 180);
    // The last frame at 320x180 keeps the detail a detour through 160x90 loses (24.3 dB that way).
    EXPECT_GT(psnr(out.frames[15], render_sample_scene(320, 180, 15 / 24.0)), 27.0);
}

TEST_F(EverydayInputsTest, InterlacedVideoIsDeinterlacedWithBwdif)
{
    // A bright bar moving 6 pixels a field, top field first: woven, its edges are combs.
    auto moving_bar = [](int plane, int x, int y, int frame) {
        int left = 4 + 6 * (2 * frame + y % 2);
        return plane ? 128 : (x >= left && x < left + 12 ? 235 : 16);
    };
    folder.write("woven.y4m", y4m_clip(160, 32, 10, "420", 1, 1, 8, "t", moving_bar));
    // The video each --deinterlace mode gives, after its summary is checked.
    auto upscaled = [&](const std::string& mode, const std::string& summary) {
        ToolRun result = run({"--deinterlace", mode, "--scale", "1", "woven.y4m", mode + ".y4m"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find(", interlaced, top field first: " + summary + ", "), std::string::npos)
            << result.out;
        return decode_video(folder.path(mode + ".y4m"));
    };
    velmo_upscale_test::DecodedVideo progressive = upscaled("auto", "deinterlaced with bwdif");
    velmo_upscale_test::DecodedVideo combed = upscaled("off", "not deinterlaced (--deinterlace off)");
    // Left woven, the frames are marked so, in the input's field order, for players to deinterlace.
    EXPECT_EQ(stream_field_order(folder.path("off.y4m")), AV_FIELD_TT);
    EXPECT_EQ(stream_field_order(folder.path("auto.y4m")), AV_FIELD_PROGRESSIVE);
    ASSERT_EQ(progressive.frames.size(), 10u);
    ASSERT_EQ(combed.frames.size(), 10u);
    double after = 0, before = 0;
    for (size_t i = 1; i + 1 < 10; ++i) {
        after += comb_measure(progressive.frames[i]) / 8;
        before += comb_measure(combed.frames[i]) / 8;
    }
    // 19.0 woven, 0.0 through bwdif; the bar stays where the top field shows it.
    EXPECT_LT(after, before / 4);
    EXPECT_GT(progressive.frames[5].at(70, 15)[1], 200);
    EXPECT_LT(progressive.frames[5].at(62, 15)[1], 60);

    // One picture per field: twice the frames at twice the rate, each field's bar in turn.
    velmo_upscale_test::DecodedVideo field_rate = upscaled("fields", "deinterlaced with bwdif, one picture per field");
    ASSERT_EQ(field_rate.frames.size(), 20u);
    EXPECT_EQ(av_cmp_q(field_rate.info.frame_rate, AVRational{50, 1}), 0);
    EXPECT_LT(comb_measure(field_rate.frames[11]), before / 4);
    EXPECT_GT(field_rate.frames[11].at(76, 15)[1], 200);
}

TEST_F(EverydayInputsTest, ChromaLayoutAndDepthStayWhereTheEncoderTakesThem)
{
    auto gradient = [](int plane, int x, int y, int frame) { return (plane * 40 + x * 3 + y * 2 + frame) % 200 + 20; };
    auto deep_gradient = [&](int plane, int x, int y, int frame) { return 4 * gradient(plane, x, y, frame) + 3; };
    folder.write("full.y4m", y4m_clip(64, 36, 3, "444", 0, 0, 8, "p", gradient));
    folder.write("half.y4m", y4m_clip(64, 36, 3, "422p10", 1, 0, 10, "p", deep_gradient));

    ToolRun full = run({"full.y4m", "full.mkv"});
    ASSERT_EQ(full.status, 0) << full.err;
    EXPECT_NE(full.out.find("libx264 (yuv444p)"), std::string::npos) << full.out;
    VideoInfo written = decode_video(folder.path("full.mkv")).info;
    EXPECT_TRUE((written.chroma == ChromaFormat{0, 0}));
    EXPECT_EQ(written.bit_depth, 8);

    ToolRun half = run({"half.y4m", "half.mkv"});
    ASSERT_EQ(half.status, 0) << half.err;
    written = decode_video(folder.path("half.mkv")).info;
    EXPECT_TRUE((written.chroma == ChromaFormat{1, 0}));
    EXPECT_EQ(written.bit_depth, 10);
    EXPECT_EQ(half.err.find("note:"), std::string::npos) << half.err;

    // MPEG-4 Part 2 takes 8-bit 4:2:0 only: both reductions are named.
    ToolRun reduced = run({"--codec", "mpeg4", "half.y4m", "mpeg4.mkv"});
    ASSERT_EQ(reduced.status, 0) << reduced.err;
    EXPECT_NE(reduced.err.find("note: mpeg4 cannot write 10-bit 4:2:2 video; written 8-bit 4:2:0"), std::string::npos)
        << reduced.err;
}

TEST_F(EverydayInputsTest, RotationStaysATagInMp4AndTurnsThePixelsElsewhere)
{
    // A phone clip of one frame shown turned a quarter clockwise (ffprobe: "rotation of -90.00 degrees"; this
    // FFmpeg's setter takes the angle with the other sign), red in the stored picture's top-left.
    VideoFormat format;
    format.width = 64;
    format.height = 32;
    format.display_matrix.resize(9 * sizeof(int32_t));
    av_display_rotation_set(reinterpret_cast<int32_t*>(format.display_matrix.data()), 90);
    {
        VideoWriter writer(folder.path("phone.mp4"), OutputKind::Mp4, format);
        writer.start();
        RgbaImage picture(64, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                bool red = x < 16 && y < 16;
                uint8_t* p = picture.at(x, y);
                p[0] = red ? 220 : 128;
                p[1] = p[2] = red ? 30 : 128;
                p[3] = 255;
            }
        writer.write_frame(picture, 0);
        writer.finish();
    }

    ToolRun tagged = run({"--scale", "1", "phone.mp4", "tagged.mp4"});
    ASSERT_EQ(tagged.status, 0) << tagged.err;
    EXPECT_EQ(tagged.err.find("rotation"), std::string::npos) << tagged.err;
    velmo_upscale_test::DecodedVideo kept = decode_video(folder.path("tagged.mp4"));
    EXPECT_EQ(kept.info.width, 64);
    EXPECT_EQ(kept.info.display_matrix.size(), 9 * sizeof(int32_t));

    for (const char* name : {"turned.mkv", "turned.y4m", "turned.png"}) {
        ToolRun turned = run({"--scale", "1", "phone.mp4", name});
        ASSERT_EQ(turned.status, 0) << turned.err;
        EXPECT_NE(turned.err.find("cannot carry the display rotation: the picture is turned 90 degrees clockwise "
                                  "instead"),
                  std::string::npos)
            << turned.err;
        velmo_upscale_test::DecodedVideo upright = decode_video(folder.path(name));
        ASSERT_EQ(upright.info.width, 32) << name;
        ASSERT_EQ(upright.info.height, 64) << name;
        EXPECT_TRUE(upright.info.display_matrix.empty()) << name;
        // The top-left corner turned a quarter clockwise is the top-right one.
        EXPECT_GT(upright.frames[0].at(28, 4)[0], 180) << name;
        EXPECT_LT(upright.frames[0].at(4, 4)[0], 160) << name;
        EXPECT_LT(upright.frames[0].at(28, 60)[0], 160) << name;
    }
}
