// What a container's own header and index tell about an input that FFmpeg reads without a word:
// a Matroska file cut short of its announced size, an MP4 on a pipe whose index follows its media.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmo_upscale {

// The offset where the Segment of a Matroska (or WebM) file starting with `bytes` ends, as its
// header says; -1 when the bytes do not reach it, are no Matroska header or the size is left open
// (a live stream's).
int64_t matroska_segment_end(const uint8_t* bytes, size_t count);

// True when `format` is Matroska read from a file of `file_size` bytes (-1: a pipe) shorter than
// its header announces: a cut download, whose last frames the demuxer drops without an error.
// Reads the file's first bytes and puts the reading position back.
bool matroska_cut_short(AVFormatContext& format, int64_t file_size);

// True when `format` is an MP4 or QuickTime file read from a pipe that had to be read past all of
// `stream`'s samples to reach its index: they can no longer be read then.
bool media_before_index_on_pipe(const AVFormatContext& format, const AVStream& stream, bool seekable);

// The message for such an input, with the way to fix the file.
std::string media_before_index_message(const std::string& path);

// Sets the colour tags and field order of `parameters` that hold numbers FFmpeg has no name for
// (a damaged file's) to unspecified: such a number is no value of its enumeration, and reading it
// as one is undefined behaviour.
void forget_unknown_tags(AVCodecParameters& parameters);

} // namespace velmo_upscale
