// Progress of a video on a terminal (frames done, speed, time left) and the closing summary line.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace velmo_upscale {

// "  42/120 frames  3.5 fps  0:22 left"; total 0 means unknown (no count, no time left);
// fps and time left appear once some time has passed.
std::string progress_text(int64_t done, int64_t total, double elapsed_seconds);

// "1:05", "1:02:03".
std::string clock_text(double seconds);

class Progress {
public:
    // Draws only when `stream` is a terminal, so logs and pipes get just the summary.
    Progress(std::FILE* stream, int64_t total_frames);

    // Redraws the line at most a few times a second.
    void frame_done();
    // Clears the line.
    void finish();

    int64_t frames_done() const { return _done; }
    double elapsed_seconds() const;

private:
    std::FILE* _stream;
    bool _enabled;
    int64_t _total;
    int64_t _done = 0;
    std::chrono::steady_clock::time_point _start;
    std::chrono::steady_clock::time_point _last_draw;
};

} // namespace velmo_upscale
