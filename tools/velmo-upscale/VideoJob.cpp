// A video through velmo frame by frame: decoded, uploaded, upscaled, read back, encoded, with the
// other streams copied alongside where the output container takes them.
#include <cstdio>
#include <memory>
#include <vector>

#include "EglSession.h"
#include "ImageOps.h"
#include "Jobs.h"
#include "OutputFile.h"
#include "PngIo.h"
#include "Progress.h"
#include "StretchBlit.h"
#include "ToolError.h"
#include "VelmoUpscaler.h"
#include "VideoReader.h"
#include "VideoWriter.h"

namespace velmo_upscale {
namespace {

const char* media_name(AVMediaType type)
{
    const char* name = av_get_media_type_string(type);
    return name ? name : "data";
}

std::string plural(int64_t count, const std::string& word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

} // namespace

std::string upscale_video(const Options& options, const std::string& config_folder)
{
    if (looks_like_png(options.input))
        throw ToolError(kExitUsage, "'" + options.input + "' is a PNG picture; write it to a .png file");
    VideoReader reader(options.input);
    const VideoInfo& info = reader.info();
    VideoFormat format;
    if (!scaled_size(info.width, info.height, options.scale, format.width, format.height))
        throw ToolError(kExitUsage, "--scale leaves nothing of a " + size_text(info.width, info.height) + " video");
    format.time_base = info.time_base;
    format.frame_rate = info.frame_rate;
    format.color = info.color;
    format.sample_aspect_ratio = info.sample_aspect_ratio;
    format.display_matrix = info.display_matrix;

    OutputFile output(options.output);
    std::unique_ptr<OutputFile> compare;
    if (!options.compare_path.empty())
        compare = std::make_unique<OutputFile>(options.compare_path);
    VideoWriter writer(output.temporary_path(), options.output_kind, format);

    const AVFormatContext* input = reader.container();
    std::vector<int> copied_as(input->nb_streams, -1);
    int copied = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (static_cast<int>(i) == reader.video_stream_index() || stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        copied_as[i] = writer.add_copied_stream(*stream->codecpar, stream->time_base);
        if (copied_as[i] >= 0) {
            ++copied;
        } else {
            const char* codec = avcodec_get_name(stream->codecpar->codec_id);
            std::fprintf(stderr, "velmo-upscale: note: %s stream #%u (%s) cannot go into %s; left out\n",
                         media_name(stream->codecpar->codec_type), i, codec,
                         options.output_kind == OutputKind::Y4m ? "Y4M" : "MP4");
        }
    }
    writer.start();

    EglSession session;
    VelmoUpscaler upscaler(options, config_folder, info.width, info.height);
    Progress progress(stderr, info.frame_count);
    auto copy_packet = [&](AVPacket& packet) {
        int target = copied_as[static_cast<size_t>(packet.stream_index)];
        if (target >= 0)
            writer.write_copied_packet(packet, target, input->streams[packet.stream_index]->time_base);
    };

    RgbaImage frame;
    RgbaImage result;
    int64_t pts = 0;
    while (reader.read_frame(frame, pts, copy_packet)) {
        upscaler.upscale(frame, result);
        writer.write_frame(result, pts);
        if (compare && progress.frames_done() == 0) {
            RgbaImage stretched = plain_stretch(upscaler.input_texture().name(), result.width, result.height);
            write_png_to(*compare, side_by_side(stretched, result, 8), false);
        }
        progress.frame_done();
    }
    progress.finish();
    if (progress.frames_done() == 0)
        throw ToolError(kExitInput, "no frame of '" + options.input + "' could be decoded");
    writer.finish();
    output.commit();
    if (compare)
        compare->commit();

    double seconds = progress.elapsed_seconds();
    char timing[96];
    std::snprintf(timing, sizeof timing, " in %.1f s (%.1f fps), %.4g fps", seconds,
                  static_cast<double>(progress.frames_done()) / seconds, av_q2d(info.frame_rate));
    std::string summary = options.input + " " + size_text(info.width, info.height) + " -> " + options.output + " " +
                          size_text(format.width, format.height) + ": " + plural(progress.frames_done(), "frame") +
                          timing + ", " + writer.encoder_description() + ", " +
                          plural(copied, "audio stream") + " copied, " +
                          (velmo_upscales(options.priority, info.width, info.height)
                               ? "upscaled"
                               : "stretched only (priority " + std::to_string(options.priority) + ")") +
                          " on " + session.renderer();
    if (reader.damaged_packets() > 0)
        summary += ", " + plural(reader.damaged_packets(), "damaged packet") + " skipped";
    if (compare)
        summary += "; stretched | velmo (first frame): " + options.compare_path;
    return summary;
}

} // namespace velmo_upscale
