// Graph building and the one-frame traffic through buffer sources and sinks.
#include "FilterGraph.h"

#include <stdexcept>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/error.h>
}

namespace velmo_bench {

FramePtr alloc_frame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::runtime_error("out of memory for a frame");
    return frame;
}

void check_av(int code, const std::string& what)
{
    if (code >= 0)
        return;
    char message[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, message, sizeof message);
    throw std::runtime_error("libavfilter: " + what + ": " + message);
}

FilterGraph::FilterGraph(const std::string& description) : _graph(avfilter_graph_alloc())
{
    if (!_graph)
        throw std::runtime_error("out of memory for a filter graph");
    _graph->nb_threads = 1;
    AVFilterInOut* inputs = nullptr;
    AVFilterInOut* outputs = nullptr;
    int parsed = avfilter_graph_parse2(_graph.get(), description.c_str(), &inputs, &outputs);
    bool open_ends = inputs || outputs;
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    check_av(parsed, "parsing " + description);
    if (open_ends)
        throw std::runtime_error("libavfilter: unconnected pads in " + description);
    check_av(avfilter_graph_config(_graph.get(), nullptr), "configuring " + description);
}

AVFilterContext* FilterGraph::filter(const char* name) const
{
    AVFilterContext* context = avfilter_graph_get_filter(_graph.get(), name);
    if (!context)
        throw std::runtime_error(std::string("libavfilter: no filter ") + name + " in the graph");
    return context;
}

void FilterGraph::send(const char* source, AVFrame* frame)
{
    check_av(av_buffersrc_add_frame(filter(source), frame), std::string("sending to ") + source);
}

void FilterGraph::end(const char* source)
{
    check_av(av_buffersrc_add_frame(filter(source), nullptr), std::string("ending ") + source);
}

FramePtr FilterGraph::receive(const char* sink)
{
    FramePtr frame = alloc_frame();
    check_av(av_buffersink_get_frame(filter(sink), frame.get()), std::string("reading ") + sink);
    return frame;
}

} // namespace velmo_bench
