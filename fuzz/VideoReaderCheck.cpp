// velmo-upscale's video reader fed with arbitrary bytes as a file: demuxed, decoded, deinterlaced
// and converted as the tool reads a video. Every outcome is frames whose pixels match their size
// with rising timestamps, or the tool's input error with a message, never anything else.
#include "Checks.h"

#include "AvSupport.h"
#include "InputRefusal.h"
#include "ScratchFile.h"
#include "VideoReader.h"

using namespace velmo_upscale;

namespace velmo_fuzz {
namespace {

// Enough frames to pass a decoder's delay and a deinterlacer's look-ahead.
constexpr int kFramesChecked = 12;
// Frames above this many pixels are legal but would spend libFuzzer's memory on one input.
constexpr int64_t kLargestChecked = 1 << 22;

std::string frames_broken(VideoReader& reader)
{
    RgbaImage frame;
    int64_t pts = 0;
    int64_t last = 0;
    for (int i = 0; i < kFramesChecked && reader.read_frame(frame, pts); ++i) {
        if (frame.width < 1 || frame.height < 1 || frame.width > 16384 || frame.height > 16384 ||
            frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4)
            return "a frame of " + std::to_string(frame.width) + "x" + std::to_string(frame.height) + " came with " +
                   std::to_string(frame.pixels.size()) + " bytes";
        if (i > 0 && pts <= last)
            return "timestamp " + std::to_string(pts) + " follows " + std::to_string(last);
        last = pts;
    }
    return {};
}

} // namespace

std::string check_video_reader(const std::uint8_t* data, std::size_t size)
{
    // FFmpeg's own complaints about damaged input would fill the log; the tool keeps them quiet too.
    static const bool quiet = (set_ffmpeg_verbosity(false), true);
    (void)quiet;
    const std::string& path = scratch_file_with(data, size);
    return read_or_refuse("the video reader", [&]() -> std::string {
        VideoReader reader(path);
        const VideoInfo& info = reader.info();
        if (info.width < 1 || info.height < 1 || info.width > 16384 || info.height > 16384)
            return "a video of " + std::to_string(info.width) + "x" + std::to_string(info.height) + " was opened";
        if (info.time_base.num <= 0 || info.time_base.den <= 0 || info.frame_rate.num <= 0 ||
            info.frame_rate.den <= 0)
            return "a video without a usable time base or frame rate was opened";
        if (static_cast<int64_t>(info.width) * info.height > kLargestChecked)
            return {};
        // As the tool reads: deinterlaced where marked so, each frame at its own size, turned
        // upright for the outputs without a display matrix when the first byte asks.
        reader.set_deinterlace(DeinterlaceMode::Auto);
        if (size > 0 && (data[0] & 1))
            reader.turn_upright();
        reader.keep_frame_sizes();
        return frames_broken(reader);
    });
}

} // namespace velmo_fuzz
