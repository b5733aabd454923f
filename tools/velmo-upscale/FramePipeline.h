// Runs a video job's three stages (decode, draw on GL, encode) either one after another on the
// calling thread, or overlapped: decoding and encoding on threads of their own, drawing on the
// calling thread (which owns the GL context), joined by small bounded queues of recycled frames.
#pragma once

#include <cstdint>
#include <functional>

#include "AvSupport.h"

namespace velmo_upscale {

struct FrameStages {
    using PacketSink = std::function<void(AVPacket& packet)>;
    // Hands over the next decoded picture and its timestamp, the other streams' packets read on
    // the way going to the sink (which may take them over); false at the end.
    std::function<bool(AVFrame& picture, int64_t& pts, const PacketSink& other_packets)> decode;
    // Starts the output picture of the frame numbered `index` (from 0) on the GPU; the picture
    // is no longer needed once it returns.
    std::function<void(const AVFrame& picture, int64_t index)> draw;
    // Completes the oldest frame drawn and not finished yet, numbered `index`, into `encoded`.
    // Overlapped, the next frame is drawn before one is finished, so that its read-back is under
    // way meanwhile: at most two frames are drawn and not finished.
    std::function<void(AVFrame& encoded, int64_t index)> finish;
    // Writes a packet of another stream, exactly where the serial order puts it: after the frame
    // decoded before it, before the frame decoded with it.
    std::function<void(AVPacket& packet)> copy;
    std::function<void(AVFrame& encoded, int64_t pts)> encode;
};

// Every frame through the stages in order; each stage's calls come in the same order either way,
// so the output is the same. An exception of a stage stops the others, and the one the serial
// run would have met first is rethrown once every thread has ended.
void run_frame_stages(const FrameStages& stages, bool overlapped);

// False when VELMO_UPSCALE_SERIAL asks for the stages one after another.
bool stages_overlap_by_default();

} // namespace velmo_upscale
