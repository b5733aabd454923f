// Decodes frames of one stream until the first picture and copies its HDR side data.
#include "HdrProbe.h"

extern "C" {
#include <libavutil/mastering_display_metadata.h>
}

#include <sys/stat.h>

#include "AvSupport.h"

namespace velmo_upscale {
namespace {

void copy_side_data(const AVFrame& frame, AVFrameSideDataType type, size_t size, std::vector<uint8_t>& copy)
{
    const AVFrameSideData* data = av_frame_get_side_data(&frame, type);
    if (data && data->size >= size)
        copy.assign(data->data, data->data + size);
}

} // namespace

void hdr_metadata_of_first_frame(const std::string& path, int stream_index, std::vector<uint8_t>& mastering_display,
                                 std::vector<uint8_t>& content_light)
{
    // Only a regular file can be read twice; a second reader of a pipe would take the main one's data.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return;
    struct Closer {
        AVFormatContext*& format;
        ~Closer() { avformat_close_input(&format); }
    } closer{format};
    if (avformat_find_stream_info(format, nullptr) < 0 || stream_index < 0 ||
        stream_index >= static_cast<int>(format->nb_streams))
        return;
    const AVCodecParameters* parameters = format->streams[stream_index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    CodecContextPtr decoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!decoder || !packet || !frame || avcodec_parameters_to_context(decoder.get(), parameters) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return;
    // A decoder holds back a few packets before its first picture; a damaged start gives up soon.
    for (int packets = 0; packets < 64;) {
        int result = avcodec_receive_frame(decoder.get(), frame.get());
        if (result == 0) {
            copy_side_data(*frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA, sizeof(AVMasteringDisplayMetadata),
                           mastering_display);
            copy_side_data(*frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL, sizeof(AVContentLightMetadata), content_light);
            return;
        }
        if (result != AVERROR(EAGAIN))
            return;
        if (av_read_frame(format, packet.get()) < 0) {
            avcodec_send_packet(decoder.get(), nullptr);
            ++packets;
            continue;
        }
        if (packet->stream_index == stream_index) {
            avcodec_send_packet(decoder.get(), packet.get());
            ++packets;
        }
        av_packet_unref(packet.get());
    }
}

} // namespace velmo_upscale
