// The stage runner with stages of the test's own: overlapped, every stage sees the calls the
// serial run makes, in the same order, and a failure anywhere ends the run with the error the
// serial run meets first, after writing what the serial run writes.
#include "FramePipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

using namespace velmo_upscale;

namespace {

constexpr int kFrames = 30;

// What the stages were called with. Copy and encode share the output's order; the draw and
// finish calls are kept apart, since they run on another thread.
struct StageCalls {
    std::vector<std::string> output;
    std::vector<std::string> gl;
    int most_drawn_unfinished = 0;
    std::string error;
};

struct Failure {
    std::string stage; // "decode", "draw", "finish" or "encode"
    int frame = -1;
};

StageCalls run(bool overlapped, const Failure& failure = {})
{
    StageCalls result;
    std::mutex mutex;
    int decoded = 0;
    int drawn_unfinished = 0;
    auto fail_at = [&](const char* stage, int frame) {
        if (failure.stage == stage && failure.frame == frame)
            throw std::runtime_error(std::string(stage) + " failed at " + std::to_string(frame));
    };
    FrameStages stages;
    stages.decode = [&](AVFrame& picture, int64_t& pts, const FrameStages::PacketSink& other_packets) {
        // A packet of another stream before every third frame, and two after the last.
        if (decoded % 3 == 0 || decoded == kFrames) {
            for (int i = 0; i < (decoded == kFrames ? 2 : 1); ++i) {
                AVPacket* packet = av_packet_alloc();
                packet->pts = decoded * 10 + i;
                other_packets(*packet);
                av_packet_free(&packet);
            }
        }
        if (decoded == kFrames)
            return false;
        fail_at("decode", decoded);
        picture.width = decoded + 1; // the picture's mark
        pts = decoded * 1000;
        ++decoded;
        return true;
    };
    stages.draw = [&](const AVFrame& picture, int64_t index) {
        fail_at("draw", static_cast<int>(index));
        std::lock_guard<std::mutex> lock(mutex);
        result.gl.push_back("draw " + std::to_string(index) + " of " + std::to_string(picture.width));
        result.most_drawn_unfinished = std::max(result.most_drawn_unfinished, ++drawn_unfinished);
    };
    stages.finish = [&](AVFrame& encoded, int64_t index) {
        fail_at("finish", static_cast<int>(index));
        std::lock_guard<std::mutex> lock(mutex);
        result.gl.push_back("finish " + std::to_string(index));
        --drawn_unfinished;
        encoded.height = static_cast<int>(index) + 100;
    };
    stages.copy = [&](AVPacket& packet) { result.output.push_back("packet " + std::to_string(packet.pts)); };
    stages.encode = [&](AVFrame& encoded, int64_t pts) {
        fail_at("encode", encoded.height - 100);
        result.output.push_back("frame " + std::to_string(encoded.height) + " at " + std::to_string(pts));
    };
    try {
        run_frame_stages(stages, overlapped);
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

size_t frames_in(const StageCalls& run)
{
    return static_cast<size_t>(std::count_if(run.output.begin(), run.output.end(),
                                             [](const std::string& item) { return item.rfind("frame", 0) == 0; }));
}

} // namespace

TEST(FramePipelineTest, OverlappedStagesSeeTheSerialCallsInOrder)
{
    StageCalls serial = run(false);
    ASSERT_EQ(serial.output.size(), static_cast<size_t>(kFrames + kFrames / 3 + 2));
    EXPECT_EQ(serial.output.front(), "packet 0");
    EXPECT_EQ(serial.output[1], "frame 100 at 0");
    EXPECT_EQ(serial.output.back(), "packet 301");
    EXPECT_EQ(serial.gl[1], "finish 0");
    // Repeated, as a thread's timing differs from run to run.
    for (int round = 0; round < 20; ++round) {
        StageCalls overlapped = run(true);
        ASSERT_EQ(overlapped.output, serial.output) << "round " << round;
        EXPECT_TRUE(overlapped.error.empty()) << overlapped.error;
        EXPECT_LE(overlapped.most_drawn_unfinished, 2);
        // The next frame is drawn before the one before it is finished.
        EXPECT_EQ(overlapped.gl[0], "draw 0 of 1");
        EXPECT_EQ(overlapped.gl[1], "draw 1 of 2");
        EXPECT_EQ(overlapped.gl[2], "finish 0");
        EXPECT_EQ(overlapped.gl.back(), "finish " + std::to_string(kFrames - 1));
    }
}

TEST(FramePipelineTest, AFailingStageEndsTheRunAsTheSerialRunEnds)
{
    for (const Failure& failure : {Failure{"decode", 12}, Failure{"draw", 7}, Failure{"finish", 0},
                                   Failure{"finish", kFrames - 1}, Failure{"encode", 5}}) {
        const std::string where = failure.stage + " " + std::to_string(failure.frame);
        StageCalls serial = run(false, failure);
        ASSERT_EQ(serial.error, failure.stage + " failed at " + std::to_string(failure.frame)) << where;
        for (int round = 0; round < 10; ++round) {
            StageCalls overlapped = run(true, failure);
            EXPECT_EQ(overlapped.error, serial.error) << where;
            // Every frame before the failing one is written, in order; the other streams' packets
            // read with the failing frame may be left out, as the file is not kept anyway.
            ASSERT_LE(overlapped.output.size(), serial.output.size()) << where;
            EXPECT_TRUE(std::equal(overlapped.output.begin(), overlapped.output.end(), serial.output.begin()))
                << where;
            EXPECT_EQ(frames_in(overlapped), frames_in(serial)) << where;
        }
    }
}
