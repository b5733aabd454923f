// What a written video file kept of its input, read back from the file itself: the tags, marks,
// chapters, colour description and HDR metadata its container or FFmpeg's muxer left out.
#pragma once

#include <string>
#include <vector>

#include "AvSupport.h"

namespace velmo_upscale {

// One phrase per item of `input` missing from the file at `path`, for instance "the tag 'comment'
// of the file" or "the 'forced' mark of subtitle stream #2". `written_as` gives for each input
// stream the index of its stream in the output (0 for the upscaled video), or -1 when it was left
// out (and reported) already.
// Returns nothing when the output cannot be read back (a pipe, say).
std::vector<std::string> items_left_out(const AVFormatContext& input, const std::vector<int>& written_as,
                                        const std::string& path);

} // namespace velmo_upscale
