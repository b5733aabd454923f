// velmo's user-shader files in FFmpeg's libplacebo filter (Mesa's Vulkan driver) against
// velmo_process on the same picture and scale: the files must draw what the library draws.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "api/VelmoApiTestSupport.h"
#include "shaders/SceneImages.h"
#include "support/ImageCompare.h"
#include "support/PngFile.h"

namespace velmo_test {
namespace {

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs a shell command and collects its standard output (standard error goes to the test log).
CommandResult run_command(const std::string& command)
{
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[1 << 16];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    result.status = pclose(pipe);
    return result;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

const std::string kFfmpeg = std::string(VELMO_FFMPEG_COMMAND) + " -nostdin -hide_banner -loglevel error";
const std::string kVulkan = " -init_hw_device vulkan=vk:0 -filter_hw_device vk";

// Empty when FFmpeg can open a Vulkan device, otherwise why not.
std::string vulkan_missing()
{
    CommandResult probe = run_command(kFfmpeg + kVulkan + " -f lavfi -i color=s=16x16 -frames:v 1 -f null - 2>&1");
    return probe.status == 0 ? std::string() : "FFmpeg opens no Vulkan device: " + probe.output;
}

RgbaImage decode_png(const std::string& path)
{
    CommandResult decoded = run_command(kFfmpeg + " -i " + quoted(path) + " -f rawvideo -pix_fmt rgba -");
    CommandResult size = run_command("ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " +
                                     quoted(path));
    RgbaImage image;
    if (decoded.status != 0 || std::sscanf(size.output.c_str(), "%d,%d", &image.width, &image.height) != 2)
        return RgbaImage();
    image.pixels.assign(decoded.output.begin(), decoded.output.end());
    if (image.pixels.size() != static_cast<size_t>(image.width) * image.height * 4)
        return RgbaImage();
    return image;
}

// The picture through the libplacebo filter with the shader file, at width x height, in the given
// output format (rgba: 8 bits; gbrpf32le: float planes G, B, R), with dithering off.
std::string filter(const std::string& picture, const std::string& shader, int width, int height,
                   const std::string& format)
{
    const std::string vf = "format=rgba,hwupload,libplacebo=w=" + std::to_string(width) + ":h=" + std::to_string(height) +
                           ":custom_shader_path=" + shader + ":dithering=none:format=" + format +
                           ",hwdownload,format=" + format;
    CommandResult out = run_command(kFfmpeg + kVulkan + " -i " + quoted(picture) + " -vf " + quoted(vf) +
                                    " -frames:v 1 -f rawvideo -");
    return out.status == 0 ? out.output : std::string();
}

// Difference of red, green and blue in 1/255 steps, and the PSNR it gives.
struct Match {
    double max = 0;
    double mean = 0;
    double psnr = 0;
    double beyond4 = 0;  // share of pixels with a channel more than 4 steps off
};

template <typename Sample>
Match compare(const RgbaImage& library, Sample sample)
{
    Match match;
    double squares = 0;
    const size_t count = static_cast<size_t>(library.width) * library.height * 3;
    size_t beyond = 0;
    for (int y = 0; y < library.height; ++y)
        for (int x = 0; x < library.width; ++x) {
            double pixel_max = 0;
            for (int c = 0; c < 3; ++c) {
                const double diff = std::fabs(sample(x, y, c) - library.at(x, y)[c]);
                pixel_max = std::max(pixel_max, diff);
                match.mean += diff;
                squares += diff * diff;
            }
            match.max = std::max(match.max, pixel_max);
            beyond += pixel_max > 4 ? 1 : 0;
        }
    match.mean /= count;
    match.beyond4 = static_cast<double>(beyond) / (count / 3);
    match.psnr = squares == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / (squares / count));
    return match;
}

struct Case {
    const char* name;
    const char* picture;  // a photograph of bench/photos, or empty for the generated mosaic
    const char* shader;
    int sr_level;
    float scale;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The shader tests' synthetic scenes side by side: noise, flat regions, edges at many angles, thin
// lines, skin tones, a gradient and edges along the borders. Opaque: the library ignores alpha, the
// filter takes it as premultiplied.
RgbaImage scene_mosaic()
{
    const int cell_w = 160, cell_h = 120;
    std::vector<Scene> scenes = upscale_scenes(cell_w, cell_h);
    scenes.push_back({"low contrast", low_contrast_noise(cell_w, cell_h, 100, 112, 3)});
    RgbaImage mosaic(cell_w * 4, cell_h * 2);
    for (size_t i = 0; i < scenes.size() && i < 8; ++i)
        for (int y = 0; y < cell_h; ++y)
            for (int x = 0; x < cell_w; ++x)
                for (int c = 0; c < 4; ++c)
                    mosaic.at(static_cast<int>(i % 4) * cell_w + x, static_cast<int>(i / 4) * cell_h + y)[c] =
                        c == 3 ? 255 : scenes[i].image.at(x, y)[c];
    return mosaic;
}

class HookShaderGLTest : public VelmoApiGLTest, public ::testing::WithParamInterface<Case> {};

TEST_P(HookShaderGLTest, FilterOutputMatchesVelmoProcess)
{
    const std::string missing = vulkan_missing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    const Case& c = GetParam();

    // The photographs carry ICC profiles, which the filter would colour-manage before the hook sees
    // them; velmo takes values as they are. Both get the same pixels from a PNG without a profile.
    RgbaImage input;
    if (*c.picture) {
        input = decode_png(std::string(VELMO_PHOTO_DIR) + "/" + c.picture);
        ASSERT_GT(input.width, 0) << c.picture;
    } else {
        input = scene_mosaic();
    }
    const std::string picture = _config_dir.path() + "/picture.png";
    ASSERT_TRUE(write_png(picture, input));

    // Priority 2 runs the upscaling pipeline whatever the size; level 0 with sharpness 0 is the
    // unsharpened pass.
    velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
    params.sr_level = c.sr_level;
    params.custom_sharpness = 0.0f;
    init(params);
    ASSERT_EQ(velmo_set_input_props(_instance, input.width, input.height, c.scale), 0);
    velmo_output_frame out = {};
    const GLuint texture = create_texture(input);
    ASSERT_GE(process_until_drawn(static_cast<int>(texture), input.width, input.height, out), 0);
    const RgbaImage library = read_texture(static_cast<GLuint>(out.texid), out.width, out.height);
    glDeleteTextures(1, &texture);

    const std::string shader = std::string(VELMO_HOOK_SHADER_DIR) + "/" + c.shader;
    const std::string bytes = filter(picture, shader, out.width, out.height, "rgba");
    const std::string floats = filter(picture, shader, out.width, out.height, "gbrpf32le");
    const size_t pixels = static_cast<size_t>(out.width) * out.height;
    ASSERT_EQ(bytes.size(), pixels * 4) << "the filter failed; its messages are above";
    ASSERT_EQ(floats.size(), pixels * 3 * sizeof(float)) << "the filter failed; its messages are above";

    const Match eight_bit = compare(library, [&](int x, int y, int ch) {
        return static_cast<double>(static_cast<uint8_t>(bytes[(static_cast<size_t>(y) * out.width + x) * 4 + ch]));
    });
    // Planes G, B, R; the library's 8-bit target rounds, so the float output is rounded the same way.
    const int plane_of_channel[3] = {2, 0, 1};
    const Match in_float = compare(library, [&](int x, int y, int ch) {
        float value;
        const size_t at = (plane_of_channel[ch] * pixels + static_cast<size_t>(y) * out.width + x) * sizeof(float);
        std::memcpy(&value, floats.data() + at, sizeof value);
        return std::floor(std::min(std::max(value, 0.0f), 1.0f) * 255.0 + 0.5);
    });
    std::printf("%s, %dx%d -> %dx%d (scale %.2f): 8-bit max %.0f mean %.4f PSNR %.1f dB, %.4f%% beyond 4; "
                "float max %.0f mean %.4f PSNR %.1f dB, %.4f%% beyond 4 (in 1/255)\n",
                c.name, input.width, input.height, out.width, out.height, c.scale, eight_bit.max, eight_bit.mean,
                eight_bit.psnr, 100 * eight_bit.beyond4, in_float.max, in_float.mean, in_float.psnr,
                100 * in_float.beyond4);
    // Within rounding, except where a pixel's edge vote sits at one of the pass's thresholds: llvmpipe
    // evaluates the library's mediump arithmetic and filters its 8-bit input in 8-bit fixed point,
    // lavapipe computes in 32-bit floats from a 16-bit float copy, so such a pixel may refine (or
    // sharpen at full weight) on one side only. The library itself differs from an exact 32-bit
    // model of the pass the same way on a few pixels in a thousand.
    RgbaImage filtered(out.width, out.height);
    filtered.pixels.assign(bytes.begin(), bytes.end());
    ImageTolerance tolerance;
    tolerance.within = 4;
    tolerance.pass_fraction = 0.985;
    tolerance.mean = 1.0;
    tolerance.compare_alpha = false;
    EXPECT_TRUE(images_match(std::string("hook_shader_") + c.name, filtered, library, tolerance));
    EXPECT_GE(eight_bit.psnr, 45.0);
    EXPECT_GE(in_float.psnr, 45.0);
    EXPECT_LE(in_float.beyond4, 0.015);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, HookShaderGLTest,
    ::testing::Values(Case{"ColorfulCups_level2", "ColorfulCups.png", "velmo-level2.glsl", 2, 1.5f},
                      Case{"Portrait_level1", "Portrait.png", "velmo-level1.glsl", 1, 1.5f},
                      Case{"Manuscript_level3", "Manuscript.png", "velmo-level3.glsl", 3, 1.5f},
                      Case{"Mosaic_level1", "", "velmo-level1.glsl", 1, 1.5f},
                      Case{"Mosaic_level2_scale1_3", "", "velmo-level2.glsl", 2, 1.3f},
                      Case{"Mosaic_level3_scale2", "", "velmo-level3.glsl", 3, 2.0f},
                      Case{"Mosaic_nosharpening", "", "velmo-nosharpening.glsl", 0, 1.5f}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmo_test
