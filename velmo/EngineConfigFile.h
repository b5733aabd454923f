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
    open_failed,   // the file could neither be created nor opened for writing
    write_failed,  // writing, closing or renaming failed
};

// Writes `text` to `directory` + "/configure.ini" (no separator handling, as the engine expects
// the path built that way). An existing file the process may not write is refused (open_failed),
// as fopen(path, "w") refuses it. The text goes to a temporary file beside the file, named after
// the process and unique within it, which is then renamed over it with the replaced file's owner
// and mode, or 0666 less the umask for a new file; a failure leaves the previous file intact. A
// symbolic link is written through: the file it names is replaced in its own directory. The file
// is instead rewritten in place, as fopen(path, "w") would, where replacing is impossible or would
// change the file's owner or what the name means: in a directory that takes no new names, for a
// file whose owner the process cannot give to a new file, for a file with several hard links, and
// for a dangling link. A process killed mid-write leaves at most its temporary file
// (configure.ini.tmp.<pid>.<count>), which no later write touches; takes no lock.
ConfigWriteResult write_engine_config(const std::string& directory, const std::string& text, std::string& path);

} // namespace kx_velmo
