// Interlaced pictures (DVDs, broadcast, camcorders) made progressive with libavfilter's bwdif before
// they are converted, one picture per frame (or per field), the frames' own order and timing kept.
#pragma once

#include <deque>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
}

#include "AvSupport.h"
#include "Options.h"

namespace velmo_upscale {

class Deinterlacer {
public:
    // A picture is interlaced when its frame says so or the stream's `field_order` does; with
    // DeinterlaceMode::Off such pictures are only counted. Decoded timestamps count in `time_base`,
    // delivered ones in `output_time_base` (half of it for DeinterlaceMode::Fields, one picture per
    // field); `what` names the input in messages.
    Deinterlacer(DeinterlaceMode mode, AVFieldOrder field_order, AVRational time_base, AVRational output_time_base,
                 const std::string& what);
    ~Deinterlacer();
    Deinterlacer(const Deinterlacer&) = delete;
    Deinterlacer& operator=(const Deinterlacer&) = delete;

    // Takes over a decoded frame's data (the frame is left empty), or ends the stream with nullptr.
    // Throws ToolError(kExitInput) when bwdif cannot take the pictures.
    void push(AVFrame* frame);
    // The next picture in order into the empty `frame`, its best_effort_timestamp in the stream's
    // time base; false while none is ready.
    bool pull(AVFrame* frame);

    // "interlaced, top field first: deinterlaced with bwdif"; empty for progressive video.
    std::string summary() const;

private:
    void start(const AVFrame& frame);
    void collect();
    void stop();

    DeinterlaceMode _mode;
    AVFieldOrder _field_order;
    AVRational _time_base;
    AVRational _output_time_base;
    std::string _what;
    AVFilterGraph* _graph = nullptr;
    AVFilterContext* _source = nullptr;
    AVFilterContext* _sink = nullptr;
    int _graph_width = 0;
    int _graph_height = 0;
    int _graph_format = -1;
    bool _interlaced = false; // a picture was interlaced
    bool _top_first = true;   // of the first interlaced picture
    std::deque<FramePtr> _ready;
};

} // namespace velmo_upscale
