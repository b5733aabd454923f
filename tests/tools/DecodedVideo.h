// Every frame of a video file with its timestamp, read through the tool's own reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

#include "VideoReader.h"

namespace velmo_upscale_test {

struct DecodedVideo {
    velmo_upscale::VideoInfo info;
    std::vector<velmo_upscale::RgbaImage> frames;
    std::vector<int64_t> pts;

    // Timestamp of frame `index` in seconds.
    double seconds(size_t index) const { return static_cast<double>(pts[index]) * av_q2d(info.time_base); }
};

inline DecodedVideo decode_video(const std::string& path)
{
    velmo_upscale::VideoReader reader(path);
    DecodedVideo video;
    video.info = reader.info();
    velmo_upscale::RgbaImage frame;
    int64_t pts = 0;
    while (reader.read_frame(frame, pts)) {
        video.frames.push_back(frame);
        video.pts.push_back(pts);
    }
    return video;
}

} // namespace velmo_upscale_test
