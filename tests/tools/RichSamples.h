// Inputs that carry more than a picture, written here with the tool's own writer: an MKV with a
// sound track, subtitles, a font, chapters and tags, and a 10-bit HDR10 clip.
#pragma once

#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mastering_display_metadata.h>
}

#include "SampleScene.h"
#include "VideoWriter.h"

namespace velmo_upscale_test {

// The font bytes the sample MKV attaches; not a real font, which Matroska does not mind.
inline std::vector<uint8_t> sample_font()
{
    std::vector<uint8_t> font(300);
    for (size_t i = 0; i < font.size(); ++i)
        font[i] = static_cast<uint8_t>(i * 37 + 11);
    return font;
}

// Stands in for a demuxed input: the streams, tags and chapters the writer is asked to keep.
class SourceDescription {
public:
    SourceDescription() : _context(avformat_alloc_context()) {}
    ~SourceDescription() { avformat_free_context(_context); }
    SourceDescription(const SourceDescription&) = delete;
    SourceDescription& operator=(const SourceDescription&) = delete;

    AVFormatContext& context() { return *_context; }
    AVStream& add_stream(AVMediaType type, AVCodecID codec, AVRational time_base)
    {
        AVStream* stream = avformat_new_stream(_context, nullptr);
        stream->codecpar->codec_type = type;
        stream->codecpar->codec_id = codec;
        stream->time_base = time_base;
        return *stream;
    }
    void add_chapter(int64_t start_ms, int64_t end_ms, const char* title)
    {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        chapter->id = _context->nb_chapters + 1;
        chapter->time_base = AVRational{1, 1000};
        chapter->start = start_ms;
        chapter->end = end_ms;
        av_dict_set(&chapter->metadata, "title", title, 0);
        _context->chapters = static_cast<AVChapter**>(
            av_realloc_array(_context->chapters, _context->nb_chapters + 1, sizeof(AVChapter*)));
        _context->chapters[_context->nb_chapters++] = chapter;
    }

private:
    AVFormatContext* _context;
};

inline void write_packet(velmo_upscale::VideoWriter& writer, int stream, AVRational time_base, int64_t pts,
                         int64_t duration, const std::string& bytes)
{
    AVPacket* packet = av_packet_alloc();
    av_new_packet(packet, static_cast<int>(bytes.size()));
    std::memcpy(packet->data, bytes.data(), bytes.size());
    packet->pts = packet->dts = pts;
    packet->duration = duration;
    packet->flags = AV_PKT_FLAG_KEY;
    writer.write_copied_packet(*packet, stream, time_base);
    av_packet_free(&packet);
}

// Six 64x36 frames at 12 fps (half a second) with: the file title "Harbour at dusk"; chapters
// "Opening" (0-250 ms) and "Close" (250-500 ms); the video titled "Main picture" in English;
// German 16-bit PCM sound titled "Commentary"; two French SubRip subtitles marked forced; and
// font.ttf attached.
inline void write_rich_mkv(const std::string& path)
{
    using namespace velmo_upscale;
    SourceDescription source;
    AVFormatContext& context = source.context();
    av_dict_set(&context.metadata, "title", "Harbour at dusk", 0);
    source.add_chapter(0, 250, "Opening");
    source.add_chapter(250, 500, "Close");

    AVStream& video = source.add_stream(AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_NONE, AVRational{1, 1000});
    av_dict_set(&video.metadata, "title", "Main picture", 0);
    av_dict_set(&video.metadata, "language", "eng", 0);
    video.disposition = AV_DISPOSITION_DEFAULT;

    AVStream& sound = source.add_stream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_PCM_S16LE, AVRational{1, 8000});
    sound.codecpar->sample_rate = 8000;
    sound.codecpar->format = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&sound.codecpar->ch_layout, 1);
    av_dict_set(&sound.metadata, "language", "deu", 0);
    av_dict_set(&sound.metadata, "title", "Commentary", 0);

    AVStream& subtitles = source.add_stream(AVMEDIA_TYPE_SUBTITLE, AV_CODEC_ID_SUBRIP, AVRational{1, 1000});
    av_dict_set(&subtitles.metadata, "language", "fra", 0);
    subtitles.disposition = AV_DISPOSITION_FORCED;

    AVStream& font = source.add_stream(AVMEDIA_TYPE_ATTACHMENT, AV_CODEC_ID_TTF, AVRational{1, 1000});
    std::vector<uint8_t> bytes = sample_font();
    font.codecpar->extradata = static_cast<uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(font.codecpar->extradata, bytes.data(), bytes.size());
    font.codecpar->extradata_size = static_cast<int>(bytes.size());
    av_dict_set(&font.metadata, "filename", "font.ttf", 0);
    av_dict_set(&font.metadata, "mimetype", "application/x-truetype-font", 0);

    VideoFormat format;
    format.width = 64;
    format.height = 36;
    format.time_base = AVRational{1, 1000};
    format.frame_rate = AVRational{12, 1};
    VideoWriter writer(path, OutputKind::Mkv, format);
    writer.keep_items_of(context, video);
    int sound_index = writer.add_copied_stream(sound);
    int subtitle_index = writer.add_copied_stream(subtitles);
    writer.add_copied_stream(font);
    writer.start();
    for (int i = 0; i < 6; ++i)
        writer.write_frame(render_sample_scene(64, 36, i / 8.0), i * 1000 / 12);
    for (int i = 0; i < 5; ++i)
        write_packet(writer, sound_index, sound.time_base, i * 800, 800, std::string(1600, static_cast<char>(i)));
    write_packet(writer, subtitle_index, subtitles.time_base, 0, 200, "Bonjour");
    write_packet(writer, subtitle_index, subtitles.time_base, 250, 200, "Au revoir");
    writer.finish();
}

// Six 64x36 frames of a 10-bit 4:2:0 HDR10 clip in MKV (libx264): BT.2020 primaries and matrix,
// PQ transfer, mastering display of 1000 cd/m2 peak, content light 800 / 400 cd/m2.
inline void write_hdr10_mkv(const std::string& path)
{
    using namespace velmo_upscale;
    VideoFormat format;
    format.width = 64;
    format.height = 36;
    format.time_base = AVRational{1, 1000};
    format.frame_rate = AVRational{12, 1};
    format.bit_depth = 10;
    format.color.matrix = AVCOL_SPC_BT2020_NCL;
    format.color.primaries = AVCOL_PRI_BT2020;
    format.color.transfer = AVCOL_TRC_SMPTE2084;
    format.color.range = AVCOL_RANGE_MPEG;

    AVMasteringDisplayMetadata display{};
    const int primaries[3][2] = {{35400, 14600}, {8500, 39850}, {6550, 2300}}; // red, green, blue
    for (int c = 0; c < 3; ++c)
        for (int xy = 0; xy < 2; ++xy)
            display.display_primaries[c][xy] = AVRational{primaries[c][xy], 50000};
    display.white_point[0] = AVRational{15635, 50000};
    display.white_point[1] = AVRational{16450, 50000};
    display.max_luminance = AVRational{1000, 1};
    display.min_luminance = AVRational{50, 10000};
    display.has_primaries = display.has_luminance = 1;
    auto* display_bytes = reinterpret_cast<const uint8_t*>(&display);
    format.mastering_display.assign(display_bytes, display_bytes + sizeof display);
    AVContentLightMetadata light{800, 400};
    auto* light_bytes = reinterpret_cast<const uint8_t*>(&light);
    format.content_light.assign(light_bytes, light_bytes + sizeof light);

    VideoWriter writer(path, OutputKind::Mkv, format);
    writer.start();
    for (int i = 0; i < 6; ++i)
        writer.write_frame(render_sample_scene(64, 36, i / 8.0), i * 1000 / 12);
    writer.finish();
}

} // namespace velmo_upscale_test
