// configure.ini: text, pipeline choice and the write that never leaves a truncated file.
#include "velmo/EngineConfigFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kx_velmo {

namespace {

// 1024 x 576: streams above this many pixels are upscaled unless the priority says otherwise.
constexpr int64_t kUpscalePixelThreshold = 0x90000;

} // namespace

int choose_fast_sr_mode(int current_mode, int width, int height, bool priority_eq0, bool priority_eq2,
                        bool priority_eq3)
{
    if (priority_eq0)
        return current_mode;
    int mode = current_mode;
    // 64-bit product: a 32-bit one overflows for large sizes and would flip the choice.
    if (static_cast<int64_t>(width) * height > kUpscalePixelThreshold || priority_eq2)
        mode = 1;
    if (priority_eq3)
        mode = 0;
    return mode;
}

std::string engine_config_text(int video_width, int video_height)
{
    std::string text;
    text += "log_level : TRACE\n";
    text += "console_log : true\n";
    text += "VideoEnhance_SuperResolution_model : M1C4\n";
    text += "VideoEnhance_SuperResolution_unencmodel : M1C4\n";
    text += "VideoEnhance_SuperResolution_powermode : mode_high\n";
    text += "VideoEnhance_SuperResolution_threadnums : 4\n";
    text += "VideoEnhance_SuperResolution_maxwidth : " + std::to_string(video_width) + "\n";
    text += "VideoEnhance_SuperResolution_maxheight : " + std::to_string(video_height) + "\n";
    text += "VideoEnhance_SuperResolution_saveframe : 0\n";
    text += "VideoEnhance_SuperResolution_layout : NHWC\n";
    return text;
}

ConfigWriteResult write_engine_config(const std::string& directory, const std::string& text, std::string& path)
{
    const std::string target = directory + "/configure.ini";
    std::string temporary = target + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return ConfigWriteResult::open_failed;
    FILE* file = fdopen(fd, "w");
    if (!file) {
        close(fd);
        unlink(temporary.c_str());
        return ConfigWriteResult::open_failed;
    }

    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = (std::fflush(file) == 0) && ok;
    ok = (std::fclose(file) == 0) && ok;
    // mkstemp creates the file readable by its owner only; the engine may run as another user.
    ok = ok && chmod(temporary.c_str(), 0644) == 0;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return ConfigWriteResult::write_failed;
    }
    path = target;
    return ConfigWriteResult::written;
}

} // namespace kx_velmo
