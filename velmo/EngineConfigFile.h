// configure.ini for the external video-enhancement engine, and the one-time pipeline choice made with it.
#pragma once

#include <string>

namespace kx_velmo {

// The pipeline choice for a stream of width x height: priority 0 keeps `current_mode`; otherwise
// frames above 1024 x 576 pixels or priority 2 select upscaling (1), then priority 3 deselects it.
int choose_fast_sr_mode(int current_mode, int width, int height, bool priority_eq0, bool priority_eq2,
                        bool priority_eq3);

// The ten lines of configure.ini for a recorded video size.
std::string engine_config_text(int video_width, int video_height);

// Result of write_engine_config.
enum class ConfigWriteResult {
    written,
    open_failed,   // the file could not be created in the directory
    write_failed,  // writing, flushing or renaming failed; nothing was left behind
};

// Writes `text` to `directory` + "/configure.ini" (no separator handling, as the engine expects
// the path built that way). The text goes to a temporary file in the same directory that is
// renamed over the target, so a failure never leaves a truncated configure.ini.
ConfigWriteResult write_engine_config(const std::string& directory, const std::string& text, std::string& path);

} // namespace kx_velmo
