// Animated WebP frames with libwebp's animation decoder, handed on as a picture or as raw video.
#include "AnimatedWebp.h"

extern "C" {
#include <libavformat/avformat.h>
}
#include <sys/mman.h>
#include <unistd.h>
#include <webp/demux.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "AvSupport.h"
#include "ToolError.h"

namespace velmo_upscale {
namespace {

constexpr uint32_t kMaxSide = 16384;
// RIFF size, "WEBP", then the VP8X chunk whose first flag byte says "animated" with bit 1.
constexpr size_t kHeaderSize = 21;
constexpr uint8_t kAnimationFlag = 0x02;
// A WebP's RIFF size field is 32 bits; no file beyond that is one.
constexpr size_t kMaxFileSize = size_t{1} << 32;
constexpr int kIoBufferSize = 1 << 16;
const AVRational kMilliseconds{1, 1000};

struct DecoderDelete {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// The animation's frames one after another, each the whole canvas as it shows then.
class Animation {
public:
    explicit Animation(InputFile& input) : _path(input.path())
    {
        uint8_t buffer[1 << 16];
        while (size_t count = input.read(buffer, sizeof buffer)) {
            _bytes.insert(_bytes.end(), buffer, buffer + count);
            if (_bytes.size() > kMaxFileSize)
                throw ToolError(kExitInput, "'" + _path + "' is larger than any WebP can be");
        }
        const WebPData data{_bytes.data(), _bytes.size()};
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            throw ToolError(kExitFailure, "libwebp's animation decoder is not the one velmo-upscale was built for");
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        _decoder.reset(WebPAnimDecoderNew(&data, &options));
        if (!_decoder || !WebPAnimDecoderGetInfo(_decoder.get(), &_info))
            throw ToolError(kExitInput, "'" + _path + "' is a damaged animated WebP");
        if (_info.canvas_width == 0 || _info.canvas_height == 0 || _info.canvas_width > kMaxSide ||
            _info.canvas_height > kMaxSide)
            throw ToolError(kExitInput, "'" + _path + "' is " + std::to_string(_info.canvas_width) + "x" +
                                            std::to_string(_info.canvas_height) + " pixels; up to " +
                                            std::to_string(kMaxSide) + " on each side is supported");
    }

    int width() const { return static_cast<int>(_info.canvas_width); }
    int height() const { return static_cast<int>(_info.canvas_height); }
    int frame_count() const { return static_cast<int>(_info.frame_count); }
    size_t frame_bytes() const { return size_t{_info.canvas_width} * _info.canvas_height * 4; }

    // The next frame's pixels and the millisecond it ends at; false after the last.
    bool next(const uint8_t*& pixels, int& ends_at)
    {
        if (!WebPAnimDecoderHasMoreFrames(_decoder.get()))
            return false;
        uint8_t* canvas = nullptr;
        if (!WebPAnimDecoderGetNext(_decoder.get(), &canvas, &ends_at))
            throw ToolError(kExitInput, "'" + _path + "' is damaged: a frame of its animation cannot be decoded");
        pixels = canvas;
        return true;
    }

private:
    std::string _path;
    std::vector<uint8_t> _bytes;
    std::unique_ptr<WebPAnimDecoder, DecoderDelete> _decoder;
    WebPAnimInfo _info{};
};

int write_to_fd(void* opaque, uint8_t* data, int size)
{
    const int fd = *static_cast<int*>(opaque);
    int left = size;
    while (left > 0) {
        ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return AVERROR(errno ? errno : EIO);
        data += written;
        left -= static_cast<int>(written);
    }
    return size;
}

// A NUT muxer writing into a file descriptor, freed with everything it allocated.
class RawVideoMuxer {
public:
    RawVideoMuxer(int& fd, const Animation& animation)
    {
        if (avformat_alloc_output_context2(&_muxer, nullptr, "nut", nullptr) < 0 || !_muxer)
            throw std::bad_alloc();
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
        _muxer->pb = buffer ? avio_alloc_context(buffer, kIoBufferSize, 1, &fd, nullptr, write_to_fd, nullptr) : nullptr;
        _stream = avformat_new_stream(_muxer, nullptr);
        _packet.reset(av_packet_alloc());
        if (!_muxer->pb || !_stream || !_packet) {
            if (!_muxer->pb)
                av_free(buffer);
            throw std::bad_alloc();
        }
        _stream->time_base = kMilliseconds;
        AVCodecParameters* parameters = _stream->codecpar;
        parameters->codec_type = AVMEDIA_TYPE_VIDEO;
        parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
        parameters->format = AV_PIX_FMT_RGBA;
        parameters->width = animation.width();
        parameters->height = animation.height();
        check(avformat_write_header(_muxer, nullptr));
    }
    ~RawVideoMuxer()
    {
        if (_muxer && _muxer->pb) {
            av_freep(&_muxer->pb->buffer);
            avio_context_free(&_muxer->pb);
        }
        avformat_free_context(_muxer);
    }
    RawVideoMuxer(const RawVideoMuxer&) = delete;
    RawVideoMuxer& operator=(const RawVideoMuxer&) = delete;

    void write(const uint8_t* pixels, size_t size, int64_t starts_at, int64_t duration)
    {
        check(av_new_packet(_packet.get(), static_cast<int>(size)));
        std::memcpy(_packet->data, pixels, size);
        _packet->pts = _packet->dts = starts_at;
        _packet->duration = duration;
        _packet->flags |= AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(_packet.get(), kMilliseconds, _stream->time_base);
        check(av_write_frame(_muxer, _packet.get()));
        av_packet_unref(_packet.get());
    }

    void finish()
    {
        check(av_write_trailer(_muxer));
        avio_flush(_muxer->pb);
        check(_muxer->pb->error);
    }

private:
    static void check(int result)
    {
        if (result < 0)
            throw ToolError(kExitFailure, "cannot hold the decoded frames of an animated WebP in memory: " +
                                              av_error_text(result));
    }

    AVFormatContext* _muxer = nullptr;
    AVStream* _stream = nullptr;
    PacketPtr _packet;
};

// A memory file closed unless handed on.
struct MemoryFile {
    int fd = ::memfd_create("velmo-upscale-webp-frames", MFD_CLOEXEC);
    ~MemoryFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool is_animated_webp(InputFile& input)
{
    const std::string head = input.look_ahead(kHeaderSize);
    return head.size() == kHeaderSize && head.compare(0, 4, "RIFF") == 0 && head.compare(8, 8, "WEBPVP8X") == 0 &&
           (static_cast<uint8_t>(head[20]) & kAnimationFlag) != 0;
}

WebpFirstFrame read_first_webp_frame(InputFile& input)
{
    Animation animation(input);
    const uint8_t* pixels = nullptr;
    int ends_at = 0;
    if (!animation.next(pixels, ends_at))
        throw ToolError(kExitInput, "'" + input.path() + "' is an animated WebP without frames");
    WebpFirstFrame first;
    first.frame_count = animation.frame_count();
    first.image = RgbaImage(animation.width(), animation.height());
    std::memcpy(first.image.pixels.data(), pixels, first.image.pixels.size());
    return first;
}

std::unique_ptr<InputFile> animated_webp_as_video(InputFile& input)
{
    Animation animation(input);
    MemoryFile memory;
    if (memory.fd < 0)
        throw ToolError(kExitFailure, "cannot hold the frames of '" + input.path() + "' in memory: " +
                                          std::strerror(errno));
    {
        RawVideoMuxer muxer(memory.fd, animation);
        const uint8_t* pixels = nullptr;
        int ends_at = 0;
        int64_t starts_at = 0;
        while (animation.next(pixels, ends_at)) {
            // A frame of no duration is shown for a millisecond, so that times keep increasing.
            const int64_t duration = std::max<int64_t>(1, ends_at - starts_at);
            muxer.write(pixels, animation.frame_bytes(), starts_at, duration);
            starts_at += duration;
        }
        muxer.finish();
    }
    if (::lseek(memory.fd, 0, SEEK_SET) != 0)
        throw ToolError(kExitFailure, "cannot read back the frames of '" + input.path() + "': " + std::strerror(errno));
    auto frames = std::make_unique<InputFile>(memory.fd, input.path());
    memory.fd = -1;
    return frames;
}

} // namespace velmo_upscale
