// The command line of velmo-upscale: what it asks for, parsed and checked before any work starts.
#pragma once

#include <string>
#include <vector>

#include "client/Settings.h"
#include "velmo/velmo_api.h"

namespace velmo_upscale {

enum class OutputKind { Png, Mp4, Mov, Mkv, Webm, Y4m };

// The video encoder a run asks for and its quality settings; empty fields: the tool's defaults.
struct EncoderRequest {
    std::string codec;
    std::string crf;
    std::string preset;
};

// What an existing output file gets: a question on a terminal (a refusal elsewhere), -y, -n.
enum class Overwrite { Ask, Always, Never };

// The libswscale filter the --compare picture is drawn with beside velmo's.
enum class CompareFilter { Bilinear, Bicubic, Lanczos };

// Where velmo's pass runs: on OpenGL ES through velmo_process, on the CPU through SR_UpscaleRGBA,
// or chosen from the OpenGL ES renderer.
enum class Backend { Auto, Gpu, Cpu };

// What happens to interlaced video: bwdif makes it progressive, one picture per frame or per field,
// or it stays woven.
enum class DeinterlaceMode { Auto, Fields, Off };

// velmo's settings (scale, level, sharpness, smoothing, priority, config folder, ...) with velmo's
// defaults, and what the tool asks for beyond them.
struct Options : velmo_client::Settings {
    // One job: INPUT OUTPUT ("-" for standard input or, as Y4M, standard output).
    std::string input;
    std::string output;
    OutputKind output_kind = OutputKind::Png;
    // Several jobs: -o DIR and the inputs, each written into DIR under its own name.
    std::string output_dir;
    std::vector<std::string> inputs;

    int width = 0;            // --width; 0 when not given
    int height = 0;           // --height; 0 when not given
    bool exact_size = false;  // --width -1 or --height -1: odd sizes kept even for 4:2:0 video
    bool no_audio = false;    // --no-audio
    std::string compare_path; // empty: no comparison picture
    CompareFilter compare_filter = CompareFilter::Lanczos;
    Overwrite overwrite = Overwrite::Ask;
    bool verbose = false;     // let velmo's own log lines through
    EncoderRequest encoder;
    DeinterlaceMode deinterlace = DeinterlaceMode::Auto;
    Backend backend = Backend::Auto;

    bool show_help = false;
    bool show_version = false;
};

// Parses argv; throws ToolError(kExitUsage) naming the offending option or value.
// With --help or --version before any "--", returns at once with show_help or show_version set
// and nothing else checked.
Options parse_options(int argc, const char* const argv[]);

// The output kind from the file name's extension (case-insensitive): .png, .mp4, .mkv, .y4m; "-"
// (standard output) is Y4M. Throws ToolError(kExitUsage) for any other name.
OutputKind output_kind_for(const std::string& path);

// Where a batch run (-o DIR) writes an input: DIR/NAME, NAME the input's own file name when its
// extension is one the tool writes, otherwise with that extension replaced by .png for
// pictures and .mp4 for anything else.
std::string batch_output_path(const std::string& output_dir, const std::string& input);

// "lanczos", "bicubic", "bilinear".
const char* compare_filter_name(CompareFilter filter);

// The whole run's output size for --scale, which may exceed the 2 of one velmo pass: each side
// times the scale in single precision, truncated as velmo truncates (one pass's size comes from
// velmo_client::output_size). False when a side would be below one pixel.
bool scaled_size(int width, int height, float scale, int& scaled_width, int& scaled_height);

// Whether velmo runs its upscaling pipeline for frames of this size at this priority, or only
// stretches them: 2 always, 0 and 3 never, other values above 1024 x 576 pixels.
bool velmo_upscales(int priority, int width, int height);

// The init record these options ask velmo for; config_dir must outlive the record's use.
velmo_init_params make_init_params(const Options& options, const char* config_dir);

std::string help_text();

} // namespace velmo_upscale
