// One frame through velmo_process until velmo has drawn it: while an instance sets itself up it
// hands the input back, so the same frame goes in again and the caller only ever sees velmo's own
// picture.
#pragma once

#include <string>

#include "velmo/velmo_api.h"

namespace velmo_client {

// velmo draws from its third or fourth call on an instance; a few more cover any set-up it grows.
constexpr int kMaxSetupSubmissions = 8;

struct DrawnFrame {
    int32_t result = VELMO_OK; // the last velmo_process result
    velmo_output_frame out = {0, 0, 0};
    int submissions = 0;       // velmo_process calls made
    bool drawn = false;        // out names velmo's output texture
};

// Submits `in` until velmo draws it, a call fails, or `max_submissions` calls passed it through.
DrawnFrame draw_frame(void* instance, const velmo_input_frame& in, int max_submissions = kMaxSetupSubmissions);

// Why a frame was not drawn, as a message ("velmo_process failed: ... (result -3)"); empty when
// it was drawn.
std::string draw_failure(const DrawnFrame& frame);

} // namespace velmo_client
