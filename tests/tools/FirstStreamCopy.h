// The first stream of a file copied packet by packet into another container, with nothing else of
// the file: a bare elementary stream, or an MP4 with its index after the media.
#pragma once

#include <gtest/gtest.h>

#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmo_upscale_test {

// `muxer` is FFmpeg's name for the container ("hevc", "mp4", ...), written with its defaults.
inline void copy_first_stream(const std::string& from, const std::string& to, const char* muxer)
{
    AVFormatContext* input = nullptr;
    ASSERT_EQ(avformat_open_input(&input, from.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(input, nullptr), 0);
    AVFormatContext* output = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&output, nullptr, muxer, to.c_str()), 0);
    AVStream* stream = avformat_new_stream(output, nullptr);
    avcodec_parameters_copy(stream->codecpar, input->streams[0]->codecpar);
    stream->time_base = input->streams[0]->time_base;
    ASSERT_GE(avio_open(&output->pb, to.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(output, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == 0) {
            av_packet_rescale_ts(packet, input->streams[0]->time_base, stream->time_base);
            av_interleaved_write_frame(output, packet);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    av_write_trailer(output);
    avio_closep(&output->pb);
    avformat_free_context(output);
    avformat_close_input(&input);
}

} // namespace velmo_upscale_test
