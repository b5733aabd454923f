// A libavfilter graph the benchmarks run single pictures through: built from a text description,
// fed through named buffer sources, read from named buffer sinks.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/frame.h>
}

namespace velmo_bench {

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// An empty frame; throws std::runtime_error when out of memory.
FramePtr alloc_frame();

// Throws std::runtime_error naming `what` and libavutil's message when `code` is negative.
void check_av(int code, const std::string& what);

class FilterGraph {
public:
    // Parses and configures the graph, one thread; throws std::runtime_error when libavfilter
    // refuses it or a pad is left unconnected.
    explicit FilterGraph(const std::string& description);

    // Hands `frame`'s picture to the buffer source `source` (the frame is left empty).
    void send(const char* source, AVFrame* frame);
    // Ends the stream of the buffer source `source`.
    void end(const char* source);
    // The next frame of the buffer sink `sink`.
    FramePtr receive(const char* sink);

private:
    AVFilterContext* filter(const char* name) const;

    struct GraphFree {
        void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
    };
    std::unique_ptr<AVFilterGraph, GraphFree> _graph;
};

} // namespace velmo_bench
