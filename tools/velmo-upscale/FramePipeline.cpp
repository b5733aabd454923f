// The video job's stages run in turn or overlapped, with the serial run's order of calls kept.
#include "FramePipeline.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "BoundedQueue.h"

namespace velmo_upscale {
namespace {

// Frames in flight: one in each stage and one waiting before each of the last two.
constexpr size_t kFramesInFlight = 4;

// A frame on its way through the stages, with the other streams' packets read before it.
struct FrameSlot {
    RgbaImage frame;
    RgbaImage result;
    int64_t pts = 0;
    int64_t index = 0;
    bool has_frame = false; // false for the last slot, which carries only the trailing packets
    std::vector<PacketPtr> packets;
    size_t packet_count = 0;
};

enum Stage { kDecode, kRender, kEncode };

// The failure the serial run would meet first: the earliest frame, and within it the earliest stage.
class FirstFailure {
public:
    void record(int64_t index, Stage stage)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (!_error || std::tie(index, stage) < std::tie(_index, _stage)) {
            _error = std::current_exception();
            _index = index;
            _stage = stage;
        }
    }
    void rethrow() const
    {
        if (_error)
            std::rethrow_exception(_error);
    }

private:
    std::mutex _mutex;
    std::exception_ptr _error;
    int64_t _index = 0;
    Stage _stage = kDecode;
};

void run_serially(const FrameStages& stages)
{
    RgbaImage frame;
    RgbaImage result;
    int64_t pts = 0;
    for (int64_t index = 0; stages.decode(frame, pts, stages.copy); ++index) {
        stages.render(frame, result, index);
        stages.encode(result, pts);
    }
}

void run_overlapped(const FrameStages& stages)
{
    std::vector<std::unique_ptr<FrameSlot>> slots;
    BoundedQueue<FrameSlot*> free_slots(kFramesInFlight);
    BoundedQueue<FrameSlot*> to_render(kFramesInFlight);
    BoundedQueue<FrameSlot*> to_encode(kFramesInFlight);
    for (size_t i = 0; i < kFramesInFlight; ++i) {
        slots.push_back(std::make_unique<FrameSlot>());
        free_slots.push(slots.back().get());
    }
    FirstFailure failure;

    std::thread decoder([&] {
        int64_t index = 0;
        try {
            FrameSlot* slot = nullptr;
            while (free_slots.pop(slot)) {
                slot->index = index;
                slot->packet_count = 0;
                // The packets are taken over by reference, never copied.
                auto keep_packet = [slot](AVPacket& packet) {
                    if (slot->packet_count == slot->packets.size()) {
                        slot->packets.emplace_back(av_packet_alloc());
                        if (!slot->packets.back())
                            throw std::bad_alloc();
                    }
                    av_packet_move_ref(slot->packets[slot->packet_count++].get(), &packet);
                };
                slot->has_frame = stages.decode(slot->frame, slot->pts, keep_packet);
                bool more = slot->has_frame;
                if (!to_render.push(slot) || !more)
                    break;
                ++index;
            }
        } catch (...) {
            failure.record(index, kDecode);
        }
        // What was decoded before a failure still goes through, as it would serially.
        to_render.close();
    });

    std::thread encoder([&] {
        int64_t index = 0;
        try {
            FrameSlot* slot = nullptr;
            while (to_encode.pop(slot)) {
                index = slot->index;
                for (size_t i = 0; i < slot->packet_count; ++i) {
                    stages.copy(*slot->packets[i]);
                    av_packet_unref(slot->packets[i].get());
                }
                if (slot->has_frame)
                    stages.encode(slot->result, slot->pts);
                free_slots.push(slot);
            }
        } catch (...) {
            failure.record(index, kEncode);
            free_slots.abort();
            to_render.abort();
            to_encode.abort();
        }
    });

    int64_t index = 0;
    try {
        FrameSlot* slot = nullptr;
        while (to_render.pop(slot)) {
            index = slot->index;
            if (slot->has_frame)
                stages.render(slot->frame, slot->result, slot->index);
            if (!to_encode.push(slot))
                break;
        }
    } catch (...) {
        failure.record(index, kRender);
        free_slots.abort();
        to_render.abort();
    }
    to_encode.close();
    encoder.join();
    decoder.join();
    failure.rethrow();
}

} // namespace

void run_frame_stages(const FrameStages& stages, bool overlapped)
{
    if (overlapped)
        run_overlapped(stages);
    else
        run_serially(stages);
}

bool stages_overlap_by_default()
{
    const char* serial = std::getenv("VELMO_UPSCALE_SERIAL");
    return !serial || std::string(serial).empty() || std::string(serial) == "0";
}

} // namespace velmo_upscale
