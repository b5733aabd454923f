// velmo-upscale against ffmpeg: over a small matrix of generated clips (range, matrix, depth,
// chroma layout, RGB, alpha, rotation, pixel shape, start offset, variable frame rate), the tool at
// --priority 0, where velmo only stretches, and `ffmpeg -vf scale=...:flags=bilinear` with the
// same encoder must write the same flat patch levels and the same stream description as ffprobe
// reads it. A difference the tool makes on purpose passes only when a note on its standard error
// names it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "ScratchFolder.h"
#include "ToolRun.h"

using velmo_upscale_test::ScratchFolder;
using velmo_upscale_test::shell_quoted;

namespace {

// A difference the tool is allowed, when its standard error carries `note`: a field of ffprobe's
// flat listing ("pix_fmt" matches every stream's) and a part of the note's text.
struct NamedDifference {
    std::string field;
    std::string note;
};

struct ClipCase {
    std::string name;
    std::string input;       // file name, its extension choosing the container
    std::string make;        // ffmpeg arguments that write the input, before its name
    std::string output;      // file name of both outputs
    std::string tool;        // velmo-upscale's size and encoder; --priority 0, input and output added
    std::string encoder;     // ffmpeg's output arguments: the same encoder as the tool's
    std::string scale;       // ffmpeg's scale filter: the same size, flags=bilinear added
    std::vector<NamedDifference> named;
    std::string retag; // ffmpeg output options of a stream copy that then tags the input; may be empty
    std::string decoder; // ffmpeg's input options that read the input and the outputs; may be empty
};

// Four flat quadrants, in-gamut for every matrix and range, so that an RGB round trip keeps them.
// geq gives each plane's own size as W and H.
std::string yuv_quadrants(const std::string& format, int scale, bool alpha = false)
{
    auto quadrants = [scale](int a, int b, int c, int d) {
        auto v = [scale](int value) { return std::to_string(value * scale); };
        return "'if(lt(X,W/2),if(lt(Y,H/2)," + v(a) + "," + v(b) + "),if(lt(Y,H/2)," + v(c) + "," + v(d) + "))'";
    };
    return "format=" + format + ",geq=lum=" + quadrants(70, 180, 234, 40) + ":cb=" + quadrants(115, 110, 128, 135) +
           ":cr=" + quadrants(140, 145, 128, 124) + (alpha ? ":a=" + quadrants(255, 160, 96, 32) : "");
}

// ffmpeg's -vf with `chain`, quoted for the shell.
std::string filters(const std::string& chain)
{
    return " -vf \"" + chain + "\"";
}

std::string source(int width, int height, int frames)
{
    return "-f lavfi -i nullsrc=s=" + std::to_string(width) + "x" + std::to_string(height) +
           ":r=25:d=" + std::to_string(frames / 25.0);
}

const std::string kPlainClip = source(64, 48, 5);
const std::string kBigger = "--scale 1.5";
const std::string kBiggerScale = "iw*3/2:ih*3/2";
const std::string kX264 = "-c:v libx264 -crf 18 -preset medium";

std::vector<ClipCase> clip_cases()
{
    const std::string ffv1 = "-c:v ffv1";
    return {
        {"tv_bt709_420", "in.mkv",
         kPlainClip +
             filters(yuv_quadrants("yuv420p", 1) +
                     ",setparams=range=tv:colorspace=bt709:color_primaries=bt709:color_trc=bt709") +
             " -c:v ffv1",
         "out.mkv", kBigger + " --codec ffv1", ffv1, kBiggerScale, {}, "", ""},
        {"untagged_bt601_420_x264", "in.mp4", kPlainClip + filters(yuv_quadrants("yuv420p", 1)) + " -c:v libx264 -crf 0",
         "out.mp4", kBigger, kX264, kBiggerScale, {}, "", ""},
        {"pc_bt601_422_sar", "in.mkv",
         kPlainClip +
             filters(yuv_quadrants("yuv422p", 1) + ",setparams=range=pc:colorspace=smpte170m:"
                                                   "color_primaries=smpte170m:color_trc=smpte170m,setsar=4/3") +
             " -c:v ffv1",
         // ffmpeg's scale filter makes full range limited unless asked to keep it; the tool keeps it.
         "out.mkv", kBigger + " --codec ffv1", ffv1, kBiggerScale + ":out_range=full", {}, "", ""},
        {"tv_bt2020_444_10bit", "in.mkv",
         kPlainClip +
             filters(yuv_quadrants("yuv444p10le", 4) +
                     ",setparams=range=tv:colorspace=bt2020nc:color_primaries=bt2020:color_trc=smpte2084") +
             " -c:v ffv1",
         "out.mkv", kBigger + " --codec ffv1", ffv1, kBiggerScale, {}, "", ""},
        {"rgb", "in.mkv",
         kPlainClip +
             filters("format=gbrp,geq=r='if(lt(X,W/2),200,30)':g='if(lt(Y,H/2),40,160)':"
                     "b='if(lt(X,W/2),if(lt(Y,H/2),60,240),90)',format=bgr0") +
             " -c:v ffv1",
         "out.mkv", kBigger + " --codec ffv1", ffv1, kBiggerScale, {}, "", ""},
        {"alpha", "in.mkv", kPlainClip + filters(yuv_quadrants("yuva420p", 1, true)) + " -c:v ffv1", "out.mkv",
         kBigger + " --codec ffv1", ffv1, kBiggerScale, {}, "", ""},
        // A phone's clip: ffmpeg sets the display rotation on a stream copy only.
        {"rotated_into_mkv", "in.mp4", kPlainClip + filters(yuv_quadrants("yuv420p", 1)) + " -c:v libx264 -crf 0",
         "out.mkv", kBigger + " --codec ffv1", ffv1, kBiggerScale, {}, "-metadata:s:v rotate=90", ""},
        {"ts_start_offset_with_sound", "in.ts",
         source(64, 48, 10) + " -f lavfi -i sine=d=0.4" + filters(yuv_quadrants("yuv420p", 1)) +
             " -c:v mpeg2video -q:v 2 -c:a mp2",
         "out.mkv", kBigger + " --codec ffv1", "-map 0 -c:a copy " + ffv1, kBiggerScale, {}, "", ""},
        {"vfr_gap_into_y4m", "in.mkv",
         kPlainClip + filters(yuv_quadrants("yuv420p", 1) + ",setpts='if(gte(N,3),PTS+10,PTS)'") +
             " -fps_mode vfr -c:v ffv1",
         "out.y4m", kBigger, "", kBiggerScale, {}, "", ""},
        // PCM sound, which MP4 players do not play, becomes AAC as ffmpeg makes it for MP4.
        {"pcm_sound_into_mp4", "in.mkv",
         kPlainClip + " -f lavfi -i sine=d=0.2" + filters(yuv_quadrants("yuv420p", 1)) + " -c:v ffv1 -c:a pcm_s16le",
         "out.mp4", kBigger, "-map 0 -c:a aac " + kX264, kBiggerScale, {}, "", ""},
        // 50x37.5 at 4:2:0, which ffmpeg's -2 makes 50x38.
        {"odd_height_made_even", "in.mkv", kPlainClip + filters(yuv_quadrants("yuv420p", 1)) + " -c:v ffv1", "out.mp4",
         "--width 50", kX264, "50:-2", {}, "", ""},
        // Kept odd on request, where ffmpeg's -1 still makes 4:2:0 even: the tool writes the chroma
        // in full at the exact size and says so.
        {"odd_height_kept", "in.mkv", kPlainClip + filters(yuv_quadrants("yuv420p", 1)) + " -c:v ffv1", "out.mkv",
         "--width 50 --height -1 --codec ffv1", ffv1, "50:-1",
         {{"pix_fmt", "has an odd side"}, {"height", "has an odd side"}, {"sample_aspect_ratio", "has an odd side"}},
         "", ""},
        // VP9's alpha travels beside the picture, where only libvpx's decoder finds it.
        {"vp9_alpha_webm", "in.webm", kPlainClip + filters(yuv_quadrants("yuva420p", 1, true)) + " -c:v libvpx-vp9",
         "out.webm", kBigger, "-c:v libvpx-vp9 -crf 31 -b:v 0 -cpu-used 4 -row-mt 1", kBiggerScale, {}, "",
         "-c:v libvpx-vp9"},
    };
}

void PrintTo(const ClipCase& clip, std::ostream* out)
{
    *out << clip.name;
}

struct Command {
    int status = -1;
    std::string out;
};

Command run_command(const std::string& command)
{
    Command result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[1 << 16];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, count);
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// ffprobe's flat listing of what a player sees: "streams.stream.0.pix_fmt" -> "\"yuv420p\"".
std::map<std::string, std::string> probe(const std::string& path)
{
    Command probed = run_command(
        "ffprobe -v error -count_frames -show_entries "
        "format=start_time,duration:stream=codec_type,codec_name,width,height,pix_fmt,color_range,color_space,"
        "color_transfer,color_primaries,sample_aspect_ratio,field_order,start_time,nb_read_frames:"
        "stream_side_data=rotation:stream_tags=alpha_mode -of flat " +
        shell_quoted(path));
    std::map<std::string, std::string> fields;
    size_t start = 0;
    while (start < probed.out.size()) {
        size_t end = probed.out.find('\n', start);
        std::string line = probed.out.substr(start, end - start);
        size_t equals = line.find('=');
        // Matroska writes tag names in capitals and reads its own elements back in small letters.
        std::string key = line.substr(0, equals == std::string::npos ? 0 : equals);
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        if (equals != std::string::npos)
            fields[key] = line.substr(equals + 1);
        start = end == std::string::npos ? probed.out.size() : end + 1;
    }
    return fields;
}

std::string field_name(const std::string& key)
{
    return key.substr(key.rfind('.') + 1);
}

// The decoded first frame as 16-bit planes of the reference's kind (YUV or RGB, with alpha when
// it has one), so that both outputs are read the same way whatever their own pixel formats;
// `decoder` chooses ffmpeg's decoder where the default one would miss something.
struct Planes {
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint16_t>> planes;
    uint16_t at(size_t plane, int x, int y) const
    {
        return planes[plane][static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

std::string comparison_format(const std::string& reference_format, bool alpha_beside)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(av_get_pix_fmt(reference_format.c_str()));
    bool rgb = descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_RGB);
    bool alpha = alpha_beside || (descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA));
    return rgb ? (alpha ? "gbrap16le" : "gbrp16le") : (alpha ? "yuva444p16le" : "yuv444p16le");
}

Planes first_frame(const std::string& decoder, const std::string& path, const std::string& format, int width,
                   int height)
{
    Command decoded = run_command("ffmpeg -v error " + decoder + " -i " + shell_quoted(path) +
                                  " -frames:v 1 -f rawvideo -pix_fmt " + format + " -");
    Planes frame;
    frame.width = width;
    frame.height = height;
    size_t plane_size = static_cast<size_t>(width) * static_cast<size_t>(height);
    size_t count = format.find('a') != std::string::npos ? 4 : 3;
    if (decoded.out.size() < plane_size * 2 * count)
        return frame;
    for (size_t p = 0; p < count; ++p) {
        std::vector<uint16_t> plane(plane_size);
        for (size_t i = 0; i < plane_size; ++i) {
            size_t at = (p * plane_size + i) * 2;
            plane[i] = static_cast<uint16_t>(static_cast<uint8_t>(decoded.out[at]) |
                                             static_cast<uint8_t>(decoded.out[at + 1]) << 8);
        }
        frame.planes.push_back(std::move(plane));
    }
    return frame;
}

// ffmpeg moves video frames onto its encoder's frame-rate grid, the tool keeps their times exact
// (in step with the sound): times agree within a frame of the clips' 25 fps.
bool same_time(const std::string& key, const std::string& mine, const std::string& expected)
{
    std::string field = field_name(key);
    if (field != "start_time" && field != "duration")
        return false;
    return std::abs(std::atof(mine.c_str() + 1) - std::atof(expected.c_str() + 1)) < 1.0 / 25;
}

int number(const std::map<std::string, std::string>& fields, const std::string& key)
{
    auto found = fields.find(key);
    return found == fields.end() ? 0 : std::atoi(found->second.c_str());
}

class FfmpegDifferentialTest : public ::testing::TestWithParam<ClipCase> {
protected:
    ScratchFolder folder;
};

TEST_P(FfmpegDifferentialTest, VelmoStretchMatchesFfmpegScale)
{
    const ClipCase& clip = GetParam();
    std::string input = folder.path(clip.input);
    Command made = run_command("ffmpeg -v error -y " + clip.make + " " + shell_quoted(input) + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.out;
    if (!clip.retag.empty()) {
        const std::string untagged = input;
        input = folder.path("tagged-" + clip.input);
        made = run_command("ffmpeg -v error -y -i " + shell_quoted(untagged) + " -c copy " + clip.retag + " " +
                           shell_quoted(input) + " 2>&1");
        ASSERT_EQ(made.status, 0) << made.out;
    }

    const std::string ours = folder.path("velmo-" + clip.output);
    const std::string theirs = folder.path("ffmpeg-" + clip.output);
    Command tool = run_command(shell_quoted(VELMO_UPSCALE_PATH) + " -y --config-dir " + shell_quoted(folder.path()) +
                               " --priority 0 " + clip.tool + " " + shell_quoted(input) + " " +
                               shell_quoted(ours) + " 2>&1");
    ASSERT_EQ(tool.status, 0) << tool.out;
    Command reference = run_command("ffmpeg -v error -y " + clip.decoder + " -i " + shell_quoted(input) +
                                    " -vf scale=" + clip.scale + ":flags=bilinear " + clip.encoder + " " +
                                    shell_quoted(theirs) + " 2>&1");
    ASSERT_EQ(reference.status, 0) << reference.out;

    std::map<std::string, std::string> our_fields = probe(ours);
    std::map<std::string, std::string> their_fields = probe(theirs);
    ASSERT_FALSE(their_fields.empty());
    std::map<std::string, std::string> keys = our_fields;
    keys.insert(their_fields.begin(), their_fields.end());
    for (const auto& [key, unused] : keys) {
        std::string mine = our_fields.count(key) ? our_fields[key] : "(none)";
        std::string expected = their_fields.count(key) ? their_fields[key] : "(none)";
        if (mine == expected || same_time(key, mine, expected))
            continue;
        bool named = false;
        for (const NamedDifference& difference : clip.named)
            named |= field_name(key) == difference.field &&
                     tool.out.find("note: ") != std::string::npos && tool.out.find(difference.note) != std::string::npos;
        EXPECT_TRUE(named) << clip.name << ": " << key << " is " << mine << ", ffmpeg writes " << expected
                           << "\ntool's output:\n" << tool.out;
    }

    const std::string prefix = "streams.stream.0.";
    int width = number(their_fields, prefix + "width");
    int height = number(their_fields, prefix + "height");
    if (number(our_fields, prefix + "width") != width || number(our_fields, prefix + "height") != height)
        return; // already reported
    std::string pix_fmt = their_fields[prefix + "pix_fmt"];
    // WebM's VP9 says by a tag that its alpha travels beside the picture.
    std::string format = comparison_format(pix_fmt.substr(1, pix_fmt.size() - 2),
                                           their_fields[prefix + "tags.alpha_mode"] == "\"1\"");
    Planes mine = first_frame(clip.decoder, ours, format, width, height);
    Planes expected = first_frame(clip.decoder, theirs, format, width, height);
    ASSERT_FALSE(expected.planes.empty());
    ASSERT_EQ(mine.planes.size(), expected.planes.size());
    // One code of 8 bits in the 16-bit planes, plus rounding.
    const int tolerance = 257;
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        int x = width / 4 + (quadrant % 2) * width / 2;
        int y = height / 4 + (quadrant / 2) * height / 2;
        for (size_t p = 0; p < expected.planes.size(); ++p)
            EXPECT_NEAR(mine.at(p, x, y), expected.at(p, x, y), tolerance)
                << clip.name << ": plane " << p << " of " << format << " at " << x << "," << y << "\ntool's output:\n"
                << tool.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, FfmpegDifferentialTest, ::testing::ValuesIn(clip_cases()),
                         [](const ::testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

} // namespace
