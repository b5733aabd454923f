// Command-line parsing: strict numbers, ranges checked here so that bad values never reach velmo.
#include "Options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <vector>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool ends_with(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

[[noreturn]] void usage_error(const std::string& message)
{
    throw ToolError(kExitUsage, message + " (see --help)");
}

float parse_float(const std::string& option, const std::string& value, float low, float high)
{
    errno = 0;
    char* end = nullptr;
    float number = std::strtof(value.c_str(), &end);
    bool whole = !value.empty() && !std::isspace(static_cast<unsigned char>(value[0])) && *end == '\0';
    if (!whole || errno == ERANGE || !std::isfinite(number) || number < low || number > high) {
        std::ostringstream message;
        message << option << " must be a number from " << low << " to " << high << ", not '" << value << "'";
        usage_error(message.str());
    }
    return number;
}

int parse_int(const std::string& option, const std::string& value, int low, int high)
{
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    bool whole = !value.empty() && !std::isspace(static_cast<unsigned char>(value[0])) && *end == '\0';
    if (!whole || errno == ERANGE || number < low || number > high) {
        std::ostringstream message;
        message << option << " must be a whole number from " << low << " to " << high << ", not '" << value << "'";
        usage_error(message.str());
    }
    return static_cast<int>(number);
}

// Far beyond any size a GPU holds; the real limit is the context's, checked before any decoding.
constexpr float kMaxScale = 1000.0f;
constexpr int kMaxSize = 1 << 20;

} // namespace

OutputKind output_kind_for(const std::string& path)
{
    if (path == "-")
        return OutputKind::Y4m;
    std::string name = lower(path);
    if (ends_with(name, ".png"))
        return OutputKind::Png;
    if (ends_with(name, ".mp4"))
        return OutputKind::Mp4;
    if (ends_with(name, ".mkv"))
        return OutputKind::Mkv;
    if (ends_with(name, ".y4m"))
        return OutputKind::Y4m;
    usage_error("cannot tell what to write from the name '" + path + "': use .png, .mp4, .mkv or .y4m");
}

std::string batch_output_path(const std::string& output_dir, const std::string& input)
{
    std::string name = input.substr(input.rfind('/') + 1);
    size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos || dot == 0 ? std::string() : lower(name.substr(dot));
    static const char* const kWritten[] = {".png", ".mp4", ".mkv", ".y4m"};
    static const char* const kPictures[] = {".jpg", ".jpeg", ".webp", ".bmp", ".tif", ".tiff", ".tga", ".pgm",
                                            ".ppm", ".pnm", ".jxl", ".avif"};
    if (std::find(std::begin(kWritten), std::end(kWritten), extension) == std::end(kWritten)) {
        bool picture = std::find(std::begin(kPictures), std::end(kPictures), extension) != std::end(kPictures);
        name = (extension.empty() ? name : name.substr(0, dot)) + (picture ? ".png" : ".mp4");
    }
    std::string folder = output_dir;
    if (folder.back() != '/')
        folder += '/';
    return folder + name;
}

const char* compare_filter_name(CompareFilter filter)
{
    switch (filter) {
    case CompareFilter::Bilinear:
        return "bilinear";
    case CompareFilter::Bicubic:
        return "bicubic";
    case CompareFilter::Lanczos:
        break;
    }
    return "lanczos";
}

Options parse_options(int argc, const char* const argv[])
{
    Options options;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    auto options_end = std::find(arguments.begin(), arguments.end(), "--");
    if (std::find_if(arguments.begin(), options_end,
                     [](const std::string& a) { return a == "--help" || a == "-h"; }) != options_end) {
        options.show_help = true;
        return options;
    }
    if (std::find(arguments.begin(), options_end, "--version") != options_end) {
        options.show_version = true;
        return options;
    }

    bool level_given = false;
    bool sharpness_given = false;
    bool scale_given = false;
    bool compare_with_given = false;
    bool yes = false;
    bool no = false;
    using ValueHandler = std::function<void(const std::string& option, const std::string& value)>;
    const std::map<std::string, ValueHandler> with_value = {
        {"--scale", [&](auto& o, auto& v) { options.scale = parse_float(o, v, 0.0f, kMaxScale); scale_given = true; }},
        {"--width", [&](auto& o, auto& v) { options.width = parse_int(o, v, 1, kMaxSize); }},
        {"--height", [&](auto& o, auto& v) { options.height = parse_int(o, v, 1, kMaxSize); }},
        {"-o", [&](auto& o, auto& v) {
             if (v.empty())
                 usage_error(o + " needs a folder name");
             options.output_dir = v;
         }},
        {"--compare-with", [&](auto& o, auto& v) {
             static const std::map<std::string, CompareFilter> kFilters = {
                 {"bilinear", CompareFilter::Bilinear},
                 {"bicubic", CompareFilter::Bicubic},
                 {"lanczos", CompareFilter::Lanczos}};
             auto filter = kFilters.find(v);
             if (filter == kFilters.end())
                 usage_error(o + " must be bilinear, bicubic or lanczos, not '" + v + "'");
             options.compare_filter = filter->second;
             compare_with_given = true;
         }},
        {"--level", [&](auto& o, auto& v) { options.level = parse_int(o, v, 1, 3); level_given = true; }},
        {"--sharpness", [&](auto& o, auto& v) { options.sharpness = parse_float(o, v, 0.0f, 4.0f); sharpness_given = true; }},
        {"--sigma-s", [&](auto& o, auto& v) { options.sigma_s = parse_float(o, v, 0.25f, 3.0f); }},
        {"--sigma-r", [&](auto& o, auto& v) { options.sigma_r = parse_float(o, v, 0.25f, 3.0f); }},
        {"--priority", [&](auto& o, auto& v) { options.priority = parse_int(o, v, 0, 3); }},
        {"--config-dir", [&](auto& o, auto& v) {
             if (v.empty())
                 usage_error(o + " needs a folder name");
             options.config_dir = v;
         }},
        {"--codec", [&](auto& o, auto& v) {
             if (v.empty())
                 usage_error(o + " needs an encoder name");
             options.encoder.codec = v;
         }},
        // The encoder checks the range it takes; here only that it is a number.
        {"--crf", [&](auto& o, auto& v) {
             parse_float(o, v, 0.0f, 100.0f);
             options.encoder.crf = v;
         }},
        {"--preset", [&](auto& o, auto& v) {
             if (v.empty())
                 usage_error(o + " needs a name");
             options.encoder.preset = v;
         }},
        {"--deinterlace", [&](auto& o, auto& v) {
             static const std::map<std::string, DeinterlaceMode> kModes = {
                 {"auto", DeinterlaceMode::Auto}, {"fields", DeinterlaceMode::Fields}, {"off", DeinterlaceMode::Off}};
             auto mode = kModes.find(v);
             if (mode == kModes.end())
                 usage_error(o + " must be auto, fields or off, not '" + v + "'");
             options.deinterlace = mode->second;
         }},
        {"--compare", [&](auto& o, auto& v) {
             if (!ends_with(lower(v), ".png"))
                 usage_error(o + " writes a PNG picture: give a name ending in .png, not '" + v + "'");
             options.compare_path = v;
         }},
    };
    const std::map<std::string, std::function<void()>> switches = {
        {"--smooth", [&] { options.smooth = true; }},
        {"--no-edge-adaptive", [&] { options.edge_adaptive = false; }},
        {"--face-protection", [&] { options.face_protection = true; }},
        {"--verbose", [&] { options.verbose = true; }},
        {"-y", [&] { yes = true; }},
        {"-n", [&] { no = true; }},
    };

    std::vector<std::string> positional;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            positional.insert(positional.end(), arguments.begin() + static_cast<long>(i) + 1, arguments.end());
            break;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        size_t equals = argument.find('=');
        std::string name = argument.substr(0, equals);
        if (auto handler = with_value.find(name); handler != with_value.end()) {
            std::string value;
            if (equals != std::string::npos)
                value = argument.substr(equals + 1);
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                usage_error(name + " needs a value");
            handler->second(name, value);
        } else if (auto flag = switches.find(name); flag != switches.end() && equals == std::string::npos) {
            flag->second();
        } else {
            usage_error("unknown option '" + argument + "'");
        }
    }

    if (level_given && sharpness_given)
        usage_error("--level and --sharpness exclude each other");
    if (sharpness_given)
        options.level = 0;
    if (scale_given && (options.width > 0 || options.height > 0))
        usage_error("--scale and --width or --height exclude each other");
    if (compare_with_given && options.compare_path.empty())
        usage_error("--compare-with chooses the filter of --compare FILE.png; give that too");
    if (yes && no)
        usage_error("-y and -n exclude each other");
    options.overwrite = yes ? Overwrite::Always : no ? Overwrite::Never : Overwrite::Ask;
    if (std::find(positional.begin(), positional.end(), "") != positional.end())
        usage_error("input and output names must not be empty");

    if (!options.output_dir.empty()) {
        if (positional.empty())
            usage_error("-o DIR needs at least one input");
        if (!options.compare_path.empty() && positional.size() > 1)
            usage_error("--compare writes one picture: use it with one input");
        if (std::count(positional.begin(), positional.end(), "-") > 0)
            usage_error("-o DIR writes files named after their inputs; '-' has no name");
        options.inputs = positional;
        return options;
    }
    if (positional.size() != 2)
        usage_error("expected two file names, INPUT and OUTPUT, got " + std::to_string(positional.size()) +
                    " (several inputs need -o DIR)");
    options.input = positional[0];
    options.output = positional[1];
    options.output_kind = output_kind_for(options.output);
    bool encodes = options.output_kind == OutputKind::Mp4 || options.output_kind == OutputKind::Mkv;
    if (!encodes && !(options.encoder.codec.empty() && options.encoder.crf.empty() && options.encoder.preset.empty()))
        usage_error("--codec, --crf and --preset choose the encoder of .mp4 and .mkv outputs");
    return options;
}

bool scaled_size(int width, int height, float scale, int& scaled_width, int& scaled_height)
{
    float w = static_cast<float>(width) * scale;
    float h = static_cast<float>(height) * scale;
    if (!(w >= 1.0f && h >= 1.0f && w < 2147483648.0f && h < 2147483648.0f))
        return false;
    scaled_width = static_cast<int>(w);
    scaled_height = static_cast<int>(h);
    return true;
}

bool velmo_upscales(int priority, int width, int height)
{
    constexpr int64_t kLargestStretchedFrame = 1024 * 576;
    if (priority == 0 || priority == 3)
        return false;
    return priority == 2 || static_cast<int64_t>(width) * height > kLargestStretchedFrame;
}

velmo_init_params make_init_params(const Options& options, const char* config_dir)
{
    velmo_init_params params = {};
    params.config_dir = config_dir;
    params.priority = options.priority;
    params.sr_level = options.level;
    params.custom_sharpness = options.sharpness;
    params.enable_edge_adaptive = options.edge_adaptive;
    params.enable_fast_sr_smooth = options.smooth;
    params.enable_face_protection = options.face_protection;
    params.sigma_s = options.sigma_s;
    params.sigma_r = options.sigma_r;
    return params;
}

std::string help_text()
{
    return R"(Usage: velmo-upscale [options] INPUT OUTPUT
       velmo-upscale [options] -o DIR INPUT...

Upscales PNG pictures and videos with velmo on a headless OpenGL ES context.
  INPUT   a PNG file, or any picture or video FFmpeg can read; - reads standard input
  OUTPUT  .png for a picture; for a video .mkv (every other stream, chapter and tag kept),
          .mp4 (what MP4 holds kept, the rest named) or .y4m (raw YUV, the picture only);
          deep, 4:4:4 and 4:2:2 video keeps its depth and chroma layout where the encoder
          takes them, and its colour and HDR metadata (velmo works in 8 bits);
          - writes Y4M to standard output

Options:
  --scale X            output size = input size x X, above 0 (default 1.5); above 2 velmo
                       runs more than once, 2x per pass and at most 2x in the last one,
                       the only one that sharpens
  --width W            output width W, the height in proportion (rounded down)
  --height H           output height H, the width in proportion; with --width: the
                       largest size of the picture's shape inside W x H
  --level 1|2|3        sharpening: 1 strong (2.0), 2 medium (1.5, default), 3 light (1.0)
  --sharpness X        sharpening strength from 0 to 4 instead of a level
  --smooth             smooth skin tones before upscaling
  --sigma-s X          spatial sigma of the smoothing, 0.25 to 3 (default 0.8)
  --sigma-r X          range sigma of the smoothing, 0.25 to 3 (default 1.0)
  --priority 0|1|2|3   when velmo upscales: 2 always (default), 1 only frames larger than
                       1024x576, 0 or 3 never (the picture is only stretched)
  --no-edge-adaptive   plain instead of edge-adaptive weighting while upscaling
  --face-protection    lighter sharpening on skin tones
  --config-dir DIR     folder that receives velmo's configure.ini
                       (default: $XDG_CACHE_HOME/velmo or ~/.cache/velmo)
  --codec NAME         video encoder for .mp4 and .mkv: libx264 (default), libx265,
                       libsvtav1, libaom-av1, ffv1 (lossless, .mkv) or any other present
  --crf N              constant quality of the encoder (libx264 default 18; lower is better)
  --preset NAME        speed preset of the encoder (libx264 default medium)
  --deinterlace auto|fields|off
                       interlaced video (marked so by its stream or frames): made
                       progressive with bwdif, one picture per frame (auto, default) or
                       per field at twice the frame rate (fields, for a stream marked
                       interlaced), or upscaled woven as it is (off)
  --compare FILE.png   also write an ordinary upscale beside the velmo output
                       (the first frame of a video)
  --compare-with F     the ordinary upscale's filter (libswscale): lanczos (default),
                       bicubic or bilinear
  -o DIR               write each INPUT into DIR under its own name (.png or .mp4 where
                       its extension is not one the tool writes); one failure does not
                       stop the others
  -y                   overwrite existing outputs without asking
  -n                   never overwrite existing outputs (default: ask on a terminal,
                       refuse otherwise)
  --verbose            show velmo's own log lines
  --version            show the tool's and velmo's versions and the OpenGL ES renderer
  -h, --help           show this text
  --                   end of options: what follows are file names

Progress is shown on a terminal for videos; a summary line ends every run.

Exit status: 0 done, 2 invalid option or value (a size the GPU or the encoder cannot
take included), 3 input missing, unreadable, unsupported or ended early, 4 output not
writable or not to be overwritten, 5 no OpenGL ES context or velmo failed, 1 other errors.
With -o DIR, the status of the first input that failed.
)";
}

} // namespace velmo_upscale
