// Command-line parsing: strict numbers, ranges checked here so that bad values never reach velmo.
#include "Options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

#include "ToolError.h"
#include "client/PassPlan.h"

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
    if (ends_with(name, ".mov"))
        return OutputKind::Mov;
    if (ends_with(name, ".mkv"))
        return OutputKind::Mkv;
    if (ends_with(name, ".webm"))
        return OutputKind::Webm;
    if (ends_with(name, ".y4m"))
        return OutputKind::Y4m;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && name.find('/', dot) == std::string::npos && dot + 1 < name.size())
        usage_error("the tool does not write " + name.substr(dot) + " files ('" + path +
                    "'): use .png for a picture, .mp4, .mov, .mkv, .webm or .y4m for a video");
    usage_error("cannot tell what to write from the name '" + path +
                "': use .png for a picture, .mp4, .mov, .mkv, .webm or .y4m for a video");
}

std::string batch_output_path(const std::string& output_dir, const std::string& input)
{
    std::string name = input.substr(input.rfind('/') + 1);
    size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos || dot == 0 ? std::string() : lower(name.substr(dot));
    static const char* const kWritten[] = {".png", ".mp4", ".mov", ".mkv", ".webm", ".y4m"};
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

namespace {

// What parsing has seen so far: the options, and which of those that exclude each other were given.
struct Parsed {
    Options& options;
    bool level_given = false;
    bool sharpness_given = false;
    bool scale_given = false;
    bool compare_with_given = false;
    bool yes = false;
    bool no = false;
};

// A side of --width or --height, or -1, which asks for the exact size even where it is odd.
void parse_side(Parsed& parsed, const std::string& option, const std::string& value, int& side)
{
    if (value == "-1")
        parsed.options.exact_size = true;
    else
        side = parse_int(option, value, 1, kMaxSize);
}

using Apply = void (*)(Parsed& parsed, const std::string& option, const std::string& value);

// One option of the command line: the parser and --help both read this table.
struct OptionSpec {
    const char* names; // "--scale"; rows without `apply` may name two ("-h, --help")
    const char* value; // the value's name in --help; nullptr for a switch
    const char* help;  // --help's text, one line per '\n'
    Apply apply;       // nullptr: looked for before parsing (--help, --version) or the end of options
};

std::string non_empty(const std::string& option, const std::string& value, const char* what)
{
    if (value.empty())
        usage_error(option + " needs " + what);
    return value;
}

const OptionSpec kOptions[] = {
    {"--scale", "X", "output size = input size x X, above 0 (default 1.5); above 2 velmo\n"
                     "runs more than once, 2x per pass and at most 2x in the last one,\n"
                     "the only one that sharpens",
     [](Parsed& p, const std::string& o, const std::string& v) {
         p.options.scale = parse_float(o, v, 0.0f, kMaxScale);
         p.scale_given = true;
     }},
    {"--width", "W", "output width W, the height in proportion (rounded down; for 4:2:0\n"
                     "and 4:2:2 video to the nearest even number, as ffmpeg's -2, unless\n"
                     "--height -1 asks for the exact size, written 4:4:4)",
     [](Parsed& p, const std::string& o, const std::string& v) { parse_side(p, o, v, p.options.width); }},
    {"--height", "H", "output height H, the width in proportion; with --width: the\n"
                      "largest size of the picture's shape inside W x H",
     [](Parsed& p, const std::string& o, const std::string& v) { parse_side(p, o, v, p.options.height); }},
    {"--level", "1|2|3", "sharpening: 1 strong (2.0), 2 medium (1.5, default), 3 light (1.0)",
     [](Parsed& p, const std::string& o, const std::string& v) {
         p.options.level = parse_int(o, v, 1, 3);
         p.level_given = true;
     }},
    {"--sharpness", "X", "sharpening strength from 0 to 4 instead of a level",
     [](Parsed& p, const std::string& o, const std::string& v) {
         p.options.sharpness = parse_float(o, v, 0.0f, 4.0f);
         p.sharpness_given = true;
     }},
    {"--smooth", nullptr, "smooth skin tones before upscaling",
     [](Parsed& p, const std::string&, const std::string&) { p.options.smooth = true; }},
    {"--sigma-s", "X", "spatial sigma of the smoothing, 0.25 to 3 (default 0.8)",
     [](Parsed& p, const std::string& o, const std::string& v) { p.options.sigma_s = parse_float(o, v, 0.25f, 3.0f); }},
    {"--sigma-r", "X", "range sigma of the smoothing, 0.25 to 3 (default 1.0)",
     [](Parsed& p, const std::string& o, const std::string& v) { p.options.sigma_r = parse_float(o, v, 0.25f, 3.0f); }},
    {"--priority", "0|1|2|3", "when velmo upscales: 2 always (default), 1 only frames larger than\n"
                              "1024x576, 0 or 3 never (the picture is only stretched)",
     [](Parsed& p, const std::string& o, const std::string& v) { p.options.priority = parse_int(o, v, 0, 3); }},
    {"--no-edge-adaptive", nullptr, "plain instead of edge-adaptive weighting while upscaling",
     [](Parsed& p, const std::string&, const std::string&) { p.options.edge_adaptive = false; }},
    {"--face-protection", nullptr, "lighter sharpening on skin tones",
     [](Parsed& p, const std::string&, const std::string&) { p.options.face_protection = true; }},
    {"--config-dir", "DIR", "folder that receives velmo's configure.ini\n"
                            "(default: $XDG_CACHE_HOME/velmo or ~/.cache/velmo)",
     [](Parsed& p, const std::string& o, const std::string& v) {
         p.options.config_dir = non_empty(o, v, "a folder name");
     }},
    {"--backend", "auto|gpu|cpu", "where velmo's pass runs: gpu through velmo_process on OpenGL ES,\n"
                                  "cpu through velmo's CPU pass on the tool's threads (no GL needed),\n"
                                  "auto (default) the GPU on a hardware driver, the CPU on a\n"
                                  "software rasteriser (llvmpipe, softpipe, swrast) or without EGL",
     [](Parsed& p, const std::string& o, const std::string& v) {
         static const std::map<std::string, Backend> kBackends = {
             {"auto", Backend::Auto}, {"gpu", Backend::Gpu}, {"cpu", Backend::Cpu}};
         auto backend = kBackends.find(v);
         if (backend == kBackends.end())
             usage_error(o + " must be auto, gpu or cpu, not '" + v + "'");
         p.options.backend = backend->second;
     }},
    {"--codec", "NAME", "video encoder for .mp4 and .mkv: libx264 (default), libx265,\n"
                        "libsvtav1, libaom-av1, ffv1 (lossless, .mkv) or any other present",
     [](Parsed& p, const std::string& o, const std::string& v) {
         p.options.encoder.codec = non_empty(o, v, "an encoder name");
     }},
    // The encoder checks the range it takes; here only that it is a number.
    {"--crf", "N", "constant quality of the encoder (libx264 default 18; lower is better)",
     [](Parsed& p, const std::string& o, const std::string& v) {
         parse_float(o, v, 0.0f, 100.0f);
         p.options.encoder.crf = v;
     }},
    {"--preset", "NAME", "speed preset of the encoder (libx264 default medium)",
     [](Parsed& p, const std::string& o, const std::string& v) { p.options.encoder.preset = non_empty(o, v, "a name"); }},
    {"--deinterlace", "auto|fields|off", "interlaced video (marked so by its stream or frames): made\n"
                                         "progressive with bwdif, one picture per frame (auto, default) or\n"
                                         "per field at twice the frame rate (fields, for a stream marked\n"
                                         "interlaced), or upscaled woven as it is (off)",
     [](Parsed& p, const std::string& o, const std::string& v) {
         static const std::map<std::string, DeinterlaceMode> kModes = {
             {"auto", DeinterlaceMode::Auto}, {"fields", DeinterlaceMode::Fields}, {"off", DeinterlaceMode::Off}};
         auto mode = kModes.find(v);
         if (mode == kModes.end())
             usage_error(o + " must be auto, fields or off, not '" + v + "'");
         p.options.deinterlace = mode->second;
     }},
    {"--no-audio", nullptr, "leave the sound out (ffmpeg's -an); by default it is copied, or\n"
                            "re-encoded where the container cannot hold it (AAC in .mp4\n"
                            "and .mov, Opus in .webm)",
     [](Parsed& p, const std::string&, const std::string&) { p.options.no_audio = true; }},
    {"--compare", "FILE.png", "also write an ordinary upscale beside the velmo output\n"
                              "(the first frame of a video)",
     [](Parsed& p, const std::string& o, const std::string& v) {
         if (!ends_with(lower(v), ".png"))
             usage_error(o + " writes a PNG picture: give a name ending in .png, not '" + v + "'");
         p.options.compare_path = v;
     }},
    {"--compare-with", "F", "the ordinary upscale's filter (libswscale): lanczos (default),\n"
                            "bicubic or bilinear",
     [](Parsed& p, const std::string& o, const std::string& v) {
         static const std::map<std::string, CompareFilter> kFilters = {
             {"bilinear", CompareFilter::Bilinear}, {"bicubic", CompareFilter::Bicubic}, {"lanczos", CompareFilter::Lanczos}};
         auto filter = kFilters.find(v);
         if (filter == kFilters.end())
             usage_error(o + " must be bilinear, bicubic or lanczos, not '" + v + "'");
         p.options.compare_filter = filter->second;
         p.compare_with_given = true;
     }},
    {"-o", "DIR", "write each INPUT into DIR under its own name (.png or .mp4 where\n"
                  "its extension is not one the tool writes); one failure does not\n"
                  "stop the others",
     [](Parsed& p, const std::string& o, const std::string& v) { p.options.output_dir = non_empty(o, v, "a folder name"); }},
    {"-y", nullptr, "overwrite existing outputs without asking",
     [](Parsed& p, const std::string&, const std::string&) { p.yes = true; }},
    {"-n", nullptr, "never overwrite existing outputs (default: ask on a terminal,\n"
                    "refuse otherwise)",
     [](Parsed& p, const std::string&, const std::string&) { p.no = true; }},
    {"--verbose", nullptr, "show velmo's own log lines",
     [](Parsed& p, const std::string&, const std::string&) { p.options.verbose = true; }},
    {"--version", nullptr, "show the tool's and velmo's versions and the OpenGL ES renderer", nullptr},
    {"-h, --help", nullptr, "show this text", nullptr},
    {"--", nullptr, "end of options: what follows are file names", nullptr},
};

constexpr int kLongOptionBase = 256;

// getopt_long's table of the rows that parse, their index in kOptions as `val` (past every
// character a short option can be).
std::vector<option> long_options()
{
    std::vector<option> result;
    for (size_t i = 0; i < std::size(kOptions); ++i) {
        const OptionSpec& entry = kOptions[i];
        if (entry.apply && entry.names[1] == '-')
            result.push_back({entry.names + 2, entry.value ? required_argument : no_argument, nullptr,
                              kLongOptionBase + static_cast<int>(i)});
    }
    result.push_back({nullptr, 0, nullptr, 0});
    return result;
}

// "-" first: arguments that are no option come back in their place, whatever POSIXLY_CORRECT
// says; ":" next: a missing value is told apart from an unknown option.
std::string short_options()
{
    std::string result = "-:";
    for (const OptionSpec& entry : kOptions)
        if (entry.apply && entry.names[1] != '-')
            result += std::string(1, entry.names[1]) + (entry.value ? ":" : "");
    return result;
}

const OptionSpec* short_option(int letter)
{
    for (const OptionSpec& entry : kOptions)
        if (entry.apply && entry.names[1] == letter && entry.names[2] == '\0')
            return &entry;
    return nullptr;
}

// The argument getopt_long just took an option from (its value may have followed separately).
std::string option_argument(char* const* argv, int next, bool separate_value)
{
    return argv[next - (separate_value ? 2 : 1)];
}

// The options and the arguments that are none (file names), in their order; everything after
// "--" is a file name.
std::vector<std::string> read_arguments(int argc, const char* const argv[], Parsed& parsed)
{
    // getopt_long permutes what it is given: a copy of the arguments.
    std::vector<std::string> storage(argv, argv + argc);
    std::vector<char*> args;
    for (std::string& argument : storage)
        args.push_back(argument.data());
    args.push_back(nullptr);
    const std::vector<option> longs = long_options();
    const std::string shorts = short_options();

    std::vector<std::string> positional;
    optind = 0; // a full restart: parse_options may run more than once in a process
    opterr = 0;
    for (;;) {
        int index = -1;
        const int found = getopt_long(argc, args.data(), shorts.c_str(), longs.data(), &index);
        if (found == -1)
            break;
        if (found == 1) {
            positional.push_back(optarg);
            continue;
        }
        const bool failed = found == '?' || found == ':';
        const bool long_option = failed ? optopt == 0 || optopt >= kLongOptionBase : found >= kLongOptionBase;
        if (found == '?' && !long_option)
            usage_error(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
        if (found == '?')
            usage_error("unknown option '" + option_argument(args.data(), optind, false) + "'");
        const int which = found == ':' ? optopt : found;
        const OptionSpec* entry = long_option ? &kOptions[which - kLongOptionBase] : short_option(which);
        if (found == ':')
            usage_error(std::string(entry->names) + " needs a value");

        std::string value = optarg ? optarg : "";
        const bool separate = optarg && optarg == args[optind - 1];
        // -o=DIR has always meant -o DIR.
        if (!long_option && !separate && !value.empty() && value[0] == '=')
            value.erase(0, 1);
        // getopt_long takes unique abbreviations; the tool knows each option by its full name only.
        const std::string given = option_argument(args.data(), optind, separate);
        if (long_option && given.substr(0, given.find('=')) != entry->names)
            usage_error("unknown option '" + given + "'");
        entry->apply(parsed, entry->names, value);
    }
    for (int i = optind; i < argc; ++i)
        positional.push_back(args[static_cast<size_t>(i)]);
    return positional;
}

// Options that exclude or need each other.
void check_combinations(Parsed& parsed)
{
    Options& options = parsed.options;
    if (parsed.level_given && parsed.sharpness_given)
        usage_error("--level and --sharpness exclude each other");
    if (parsed.sharpness_given)
        options.level = 0;
    if (parsed.scale_given && (options.width > 0 || options.height > 0))
        usage_error("--scale and --width or --height exclude each other");
    if (options.exact_size && options.width == 0 && options.height == 0)
        usage_error("--width -1 and --height -1 keep the other side exact; give that side too");
    if (parsed.compare_with_given && options.compare_path.empty())
        usage_error("--compare-with chooses the filter of --compare FILE.png; give that too");
    if (parsed.yes && parsed.no)
        usage_error("-y and -n exclude each other");
    options.overwrite = parsed.yes ? Overwrite::Always : parsed.no ? Overwrite::Never : Overwrite::Ask;
}

// The file names: INPUT and OUTPUT, or with -o DIR the inputs.
void take_files(Options& options, const std::vector<std::string>& positional)
{
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
        return;
    }
    if (positional.size() != 2)
        usage_error("expected two file names, INPUT and OUTPUT, got " + std::to_string(positional.size()) +
                    " (several inputs need -o DIR)");
    options.input = positional[0];
    options.output = positional[1];
    options.output_kind = output_kind_for(options.output);
    bool encodes = options.output_kind != OutputKind::Png && options.output_kind != OutputKind::Y4m;
    if (!encodes && !(options.encoder.codec.empty() && options.encoder.crf.empty() && options.encoder.preset.empty()))
        usage_error("--codec, --crf and --preset choose the encoder of .mp4, .mov, .mkv and .webm outputs");
}

} // namespace

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
    Parsed parsed{options};
    const std::vector<std::string> positional = read_arguments(argc, argv, parsed);
    check_combinations(parsed);
    take_files(options, positional);
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
    return velmo_client::upscales_at(priority, width, height);
}

velmo_init_params make_init_params(const Options& options, const char* config_dir)
{
    return options.init_params(config_dir);
}

std::string help_text()
{
    std::string options;
    for (const OptionSpec& entry : kOptions) {
        std::string column = std::string(entry.names) + (entry.value ? std::string(" ") + entry.value : "");
        // A name and value wider than the column stand on a line of their own above the text.
        const bool own_line = column.size() > 20;
        if (own_line)
            options += "  " + column + "\n";
        std::istringstream lines(entry.help);
        std::string line;
        for (bool first = !own_line; std::getline(lines, line); first = false) {
            char row[160];
            std::snprintf(row, sizeof row, "  %-20s %s\n", first ? column.c_str() : "", line.c_str());
            options += row;
        }
    }
    return R"(Usage: velmo-upscale [options] INPUT OUTPUT
       velmo-upscale [options] -o DIR INPUT...

Upscales PNG pictures and videos with velmo on a headless OpenGL ES context.
  INPUT   a PNG file, or any picture or video FFmpeg can read, or an animated WebP;
          EXIF orientations are applied and colour profiles kept or converted to sRGB;
          an animated picture is a video with all its frames; - reads standard input
  OUTPUT  .png for a picture; for a video .mkv (every other stream, chapter and tag kept),
          .mp4 or .mov (what they hold kept, sound re-encoded as AAC where needed, the rest
          named), .webm (VP9 and Opus) or .y4m (raw YUV, the picture only); deep, 4:4:4,
          4:2:2, RGB and transparent video keeps its depth, layout and alpha where the
          encoder takes them, and its colour and HDR metadata (velmo works in 8 bits);
          - writes Y4M to standard output

Options:
)" + options + R"(
Progress is shown on a terminal for videos; a summary line ends every run.

Exit status: 0 done, 2 invalid option or value (a size the GPU or the encoder cannot
take included), 3 input missing, unreadable, unsupported (an unusable colour profile
too) or ended early, 4 output not
writable or not to be overwritten, 5 no OpenGL ES context or velmo failed, 1 other errors.
With -o DIR, the status of the first input that failed.
)";
}

} // namespace velmo_upscale
