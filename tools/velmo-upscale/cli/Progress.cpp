// The progress line: redrawn in place with a carriage return, throttled, wiped when done.
#include "Progress.h"

#include <unistd.h>

#include <cmath>

namespace velmo_upscale {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr double kMinElapsedForRate = 0.05;

} // namespace

std::string clock_text(double seconds)
{
    long total = seconds > 0 ? std::lround(seconds) : 0;
    long hours = total / 3600;
    long minutes = (total / 60) % 60;
    long secs = total % 60;
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hours, minutes, secs);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", minutes, secs);
    return text;
}

std::string progress_text(int64_t done, int64_t total, double elapsed_seconds)
{
    char text[128];
    if (total > 0)
        std::snprintf(text, sizeof text, "%lld/%lld frames", static_cast<long long>(done), static_cast<long long>(total));
    else
        std::snprintf(text, sizeof text, "%lld frames", static_cast<long long>(done));
    std::string line = text;
    if (done > 0 && elapsed_seconds >= kMinElapsedForRate) {
        double fps = static_cast<double>(done) / elapsed_seconds;
        std::snprintf(text, sizeof text, "  %.1f fps", fps);
        line += text;
        if (total > done)
            line += "  " + clock_text(static_cast<double>(total - done) / fps) + " left";
    }
    return line;
}

Progress::Progress(std::FILE* stream, int64_t total_frames)
    : _stream(stream), _enabled(::isatty(::fileno(stream)) != 0), _total(total_frames),
      _start(std::chrono::steady_clock::now()), _last_draw(_start)
{
}

double Progress::elapsed_seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - _start).count();
}

void Progress::frame_done()
{
    ++_done;
    if (!_enabled)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - _last_draw < kRedrawInterval && _done != _total)
        return;
    _last_draw = now;
    // \033[K wipes what a longer previous line left behind.
    std::fprintf(_stream, "\r%s\033[K", progress_text(_done, _total, elapsed_seconds()).c_str());
    std::fflush(_stream);
}

void Progress::finish()
{
    if (!_enabled)
        return;
    std::fprintf(_stream, "\r\033[K");
    std::fflush(_stream);
}

} // namespace velmo_upscale
