// The submit-again loop of set-up frames, in one place for every player of velmo.
#include "client/DrawFrame.h"

namespace velmo_client {

DrawnFrame draw_frame(void* instance, const velmo_input_frame& in, int max_submissions)
{
    DrawnFrame frame;
    while (frame.submissions < max_submissions) {
        frame.result = velmo_process(instance, &in, &frame.out);
        ++frame.submissions;
        if (frame.result != VELMO_OK)
            return frame;
        if (frame.out.texid != in.texid) {
            frame.drawn = true;
            return frame;
        }
    }
    return frame;
}

std::string draw_failure(const DrawnFrame& frame)
{
    if (frame.drawn)
        return {};
    if (frame.result != VELMO_OK)
        return std::string("velmo_process failed: ") + velmo_result_string(frame.result) + " (result " +
               std::to_string(frame.result) + ")";
    return "velmo still passes frames through after " + std::to_string(frame.submissions) + " submissions";
}

} // namespace velmo_client
