// The command line of velmo-upscale: what it asks for, parsed and checked before any work starts.
#pragma once

#include <string>

#include "velmo/velmo_api.h"

namespace velmo_upscale {

enum class OutputKind { Png, Mp4, Mkv, Y4m };

// The video encoder a run asks for and its quality settings; empty fields: the tool's defaults.
struct EncoderRequest {
    std::string codec;
    std::string crf;
    std::string preset;
};

struct Options {
    std::string input;
    std::string output;
    OutputKind output_kind = OutputKind::Png;

    float scale = 1.5f;
    int level = 2;            // sharpness level 1..3; 0 when --sharpness gives the value
    float sharpness = 1.5f;   // only read when level is 0
    bool smooth = false;
    float sigma_s = 0.8f;
    float sigma_r = 1.0f;
    int priority = 2;         // the tool upscales every input unless told otherwise
    bool edge_adaptive = true;
    bool face_protection = false;
    std::string config_dir;   // empty: the default cache folder
    std::string compare_path; // empty: no comparison picture
    bool verbose = false;     // let velmo's own log lines through
    EncoderRequest encoder;

    bool show_help = false;
};

// Parses argv; throws ToolError(kExitUsage) naming the offending option or value.
// With --help anywhere, returns at once with show_help set and nothing else checked.
Options parse_options(int argc, const char* const argv[]);

// The output kind from the file name's extension (case-insensitive): .png, .mp4, .mkv, .y4m.
// Throws ToolError(kExitUsage) for any other name.
OutputKind output_kind_for(const std::string& path);

// The output size velmo draws for a frame: each side times the scale in single precision,
// truncated, exactly as velmo computes it. False when a side would be below one pixel.
bool scaled_size(int width, int height, float scale, int& scaled_width, int& scaled_height);

// Whether velmo runs its upscaling pipeline for frames of this size at this priority, or only
// stretches them: 2 always, 0 and 3 never, other values above 1024 x 576 pixels.
bool velmo_upscales(int priority, int width, int height);

// The init record these options ask velmo for; config_dir must outlive the record's use.
velmo_init_params make_init_params(const Options& options, const char* config_dir);

std::string help_text();

} // namespace velmo_upscale
