// HDR10 metadata that a video carries only inside its bitstream (HEVC or AV1 SEI/OBU messages),
// not in its container: found by decoding the first frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmo_upscale {

// Fills `mastering_display` and `content_light` (as FFmpeg's AVMasteringDisplayMetadata and
// AVContentLightMetadata) from the first decoded frame of stream `stream_index` of the file at
// `path`; leaves them empty when that frame has none or the input is not a regular file that can
// be read a second time (a pipe, standard input).
void hdr_metadata_of_first_frame(const std::string& path, int stream_index, std::vector<uint8_t>& mastering_display,
                                 std::vector<uint8_t>& content_light);

} // namespace velmo_upscale
