// The fuzz checks: each decodes one input, runs it and returns the first broken promise (empty
// when all held). The libFuzzer targets and the regression suite both run them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo_fuzz {

// One exported CPU routine call, run with the portable and with the NEON kernels on planes fenced
// by inaccessible pages: same result, same bytes, nothing touched outside the destination rows,
// extreme arguments refused.
std::string check_cpu_routines(const std::uint8_t* data, std::size_t size);

// One SR_UpscaleRGBA or SR_StretchRGBA call (sizes, strides, band, raw settings) run with the
// portable and with the SIMD kernels on images fenced by inaccessible pages: same result, same
// bytes, only the band's rows drawn (alpha opaque), impossible arguments refused.
std::string check_upscale_rgba(const std::uint8_t* data, std::size_t size);

// A sequence of C interface calls on up to two instances, with a player context of its own on the
// headless driver (EGL_PLATFORM defaults to surfaceless), checked after every call. Every instance
// is released before it returns.
std::string check_api_calls(const std::uint8_t* data, std::size_t size);

// velmo-upscale's option parser on the input split at zero bytes: options for a run (every value
// in its range), help, or a usage error with a message.
std::string check_tool_options(const std::uint8_t* data, std::size_t size);

// velmo-upscale's PNG reader on the input as a file: a picture whose pixels match its size, or an
// input error with a message. With the first byte odd the chunk checksums are recomputed first, so
// damaged chunk contents reach the decoder instead of failing their checksum.
std::string check_png_reader(const std::uint8_t* data, std::size_t size);

// velmo-upscale's video reader on the input as a file, as the tool reads a video (deinterlaced,
// each frame at its own size, turned upright when the first byte is odd): frames whose pixels
// match their size, with rising timestamps, or an input error with a message.
std::string check_video_reader(const std::uint8_t* data, std::size_t size);

} // namespace velmo_fuzz
