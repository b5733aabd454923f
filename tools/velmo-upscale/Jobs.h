// The two kinds of work the tool does; each returns its summary line.
#pragma once

#include <string>

#include "Options.h"

namespace velmo_upscale {

// A PNG, or any single picture FFmpeg can read, to a PNG picture. Throws ToolError.
std::string upscale_picture(const Options& options, const std::string& config_folder);

// A video FFmpeg can read to MKV, MP4 or Y4M: timestamps, depth, colour and HDR metadata kept, and
// the other streams, chapters and tags as far as the container holds them; the rest is named on
// stderr. Throws ToolError.
std::string upscale_video(const Options& options, const std::string& config_folder);

// "640x360".
std::string size_text(int width, int height);

} // namespace velmo_upscale
