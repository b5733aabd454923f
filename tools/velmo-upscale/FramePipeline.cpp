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

// Frames in flight: one decoding, two on the GPU (one drawn, one being read back), one encoding,
// and one waiting.
constexpr size_t kFramesInFlight = 5;

FramePtr new_frame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

// A frame on its way through the stages, with the other streams' packets read before it.
struct FrameSlot {
    FramePtr picture = new_frame(); // decoded; let go once drawn
    FramePtr encoded = new_frame(); // the encoder's input
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
    FramePtr picture = new_frame();
    FramePtr encoded = new_frame();
    int64_t pts = 0;
    for (int64_t index = 0; stages.decode(*picture, pts, stages.copy); ++index) {
        stages.draw(*picture, index);
        av_frame_unref(picture.get());
        stages.finish(*encoded, index);
        stages.encode(*encoded, pts);
    }
}

// The overlapped run: a decoding thread fills free slots, the calling thread (which owns the GL
// context) draws and finishes them, an encoding thread writes them and frees them again.
class OverlappedRun {
public:
    explicit OverlappedRun(const FrameStages& stages) : _stages(stages)
    {
        for (size_t i = 0; i < kFramesInFlight; ++i) {
            _slots.push_back(std::make_unique<FrameSlot>());
            _free_slots.push(_slots.back().get());
        }
    }

    void run()
    {
        std::thread decoder([this] { decode_all(); });
        std::thread encoder([this] { encode_all(); });
        draw_all();
        _to_encode.close();
        encoder.join();
        decoder.join();
        _failure.rethrow();
    }

private:
    // Decodes into each free slot, with the other streams' packets read before its picture.
    void decode_all()
    {
        int64_t index = 0;
        try {
            FrameSlot* slot = nullptr;
            while (_free_slots.pop(slot)) {
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
                slot->has_frame = _stages.decode(*slot->picture, slot->pts, keep_packet);
                bool more = slot->has_frame;
                if (!_to_render.push(slot) || !more)
                    break;
                ++index;
            }
        } catch (...) {
            _failure.record(index, kDecode);
        }
        // What was decoded before a failure still goes through, as it would serially.
        _to_render.close();
    }

    // Writes each finished slot's packets and frame, then frees the slot.
    void encode_all()
    {
        int64_t index = 0;
        try {
            FrameSlot* slot = nullptr;
            while (_to_encode.pop(slot)) {
                index = slot->index;
                for (size_t i = 0; i < slot->packet_count; ++i) {
                    _stages.copy(*slot->packets[i]);
                    av_packet_unref(slot->packets[i].get());
                }
                if (slot->has_frame)
                    _stages.encode(*slot->encoded, slot->pts);
                _free_slots.push(slot);
            }
        } catch (...) {
            _failure.record(index, kEncode);
            _free_slots.abort();
            _to_render.abort();
            _to_encode.abort();
        }
    }

    // Draws each decoded slot and finishes the one drawn before it, so that one read-back is
    // under way while the next frame is drawn.
    void draw_all()
    {
        try {
            FrameSlot* slot = nullptr;
            while (_to_render.pop(slot)) {
                if (slot->has_frame) {
                    _index = slot->index;
                    _stages.draw(*slot->picture, slot->index);
                    av_frame_unref(slot->picture.get());
                }
                if (_drawn && !finish_drawn())
                    break;
                if (slot->has_frame)
                    _drawn = slot;
                else if (!_to_encode.push(slot))
                    break;
            }
            if (_drawn)
                finish_drawn();
        } catch (...) {
            _failure.record(_index, kRender);
            // The frame drawn before the one that failed is still written, as it would be serially.
            if (_drawn) {
                try {
                    finish_drawn();
                } catch (...) {
                    _failure.record(_index, kRender);
                }
            }
            _free_slots.abort();
            _to_render.abort();
        }
    }

    // Finishes the drawn frame and hands it on; false once the encoder has stopped.
    bool finish_drawn()
    {
        FrameSlot* done = _drawn;
        _drawn = nullptr;
        _index = done->index;
        _stages.finish(*done->encoded, done->index);
        return _to_encode.push(done);
    }

    const FrameStages& _stages;
    std::vector<std::unique_ptr<FrameSlot>> _slots;
    BoundedQueue<FrameSlot*> _free_slots{kFramesInFlight};
    BoundedQueue<FrameSlot*> _to_render{kFramesInFlight};
    BoundedQueue<FrameSlot*> _to_encode{kFramesInFlight};
    FirstFailure _failure;
    // The drawing thread's own: the frame drawn and not finished yet, and the frame at hand.
    FrameSlot* _drawn = nullptr;
    int64_t _index = 0;
};

} // namespace

void run_frame_stages(const FrameStages& stages, bool overlapped)
{
    if (overlapped)
        OverlappedRun(stages).run();
    else
        run_serially(stages);
}

bool stages_overlap_by_default()
{
    const char* serial = std::getenv("VELMO_UPSCALE_SERIAL");
    return !serial || std::string(serial).empty() || std::string(serial) == "0";
}

} // namespace velmo_upscale
