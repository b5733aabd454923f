// A video through velmo frame by frame: decoded, uploaded, upscaled, read back, encoded, with the
// other streams, chapters and tags copied alongside where the output container takes them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "AlphaPlanes.h"
#include "AnimatedWebp.h"
#include "FramePipeline.h"
#include "FrameUpscaler.h"
#include "HdrProbe.h"
#include "ImageOps.h"
#include "InputFile.h"
#include "Jobs.h"
#include "OutputCheck.h"
#include "OutputFile.h"
#include "PngIo.h"
#include "Progress.h"
#include "Rotation.h"
#include "ScalePlan.h"
#include "ToolError.h"
#include "VideoReader.h"
#include "VideoWriter.h"

namespace velmo_upscale {
namespace {

std::string plural(int64_t count, const std::string& word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// The codec, and the file name of an attachment: "subrip", "ttf font.ttf".
std::string described(const AVStream& stream)
{
    std::string text = avcodec_get_name(stream.codecpar->codec_id);
    if (const AVDictionaryEntry* file = av_dict_get(stream.metadata, "filename", nullptr, 0))
        text += std::string(" ") + file->value;
    return text;
}

std::string frame_rate_text(AVRational rate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", av_q2d(rate));
    return text;
}

void note(const std::string& text)
{
    std::fprintf(stderr, "velmo-upscale: note: %s\n", text.c_str());
}

// "1 audio stream, 2 subtitle streams copied", counted by kind in the order streams first appear.
std::string copied_text(const AVFormatContext& input, const std::vector<int>& copied_as, int video_index)
{
    std::vector<std::pair<AVMediaType, int>> counts;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        if (copied_as[i] < 0 || static_cast<int>(i) == video_index)
            continue;
        AVMediaType type = input.streams[i]->codecpar->codec_type;
        auto count = std::find_if(counts.begin(), counts.end(), [type](const auto& c) { return c.first == type; });
        if (count == counts.end())
            counts.emplace_back(type, 1);
        else
            ++count->second;
    }
    if (counts.empty())
        return "no other stream copied";
    std::string text;
    for (const auto& [type, count] : counts)
        text += (text.empty() ? "" : ", ") + plural(count, stream_kind(type));
    return text + " copied";
}

// The output's format: the planned size, and the input's timing, colour, aspect and HDR metadata.
VideoFormat output_format(const Options& options, const VideoReader& reader, const ScalePlan& plan)
{
    const VideoInfo& info = reader.info();
    VideoFormat format;
    format.width = plan.width;
    format.height = plan.height;
    format.time_base = info.time_base;
    if (reader.container()->start_time != AV_NOPTS_VALUE)
        format.start_time = reader.container()->start_time;
    format.frame_rate = info.frame_rate;
    format.color = info.color;
    format.sample_aspect_ratio = info.sample_aspect_ratio;
    format.display_matrix = info.display_matrix;
    format.bit_depth = info.bit_depth;
    format.chroma = info.chroma;
    format.rgb = info.rgb;
    format.alpha = info.alpha;
    format.field_order = reader.delivered_field_order();
    format.mastering_display = info.mastering_display;
    format.content_light = info.content_light;
    // HDR10 encoders put this metadata into the video itself; many containers never repeat it.
    if (info.color.transfer == AVCOL_TRC_SMPTE2084 && format.mastering_display.empty() && format.content_light.empty())
        hdr_metadata_of_first_frame(options.input, reader.video_stream_index(), format.mastering_display,
                                    format.content_light);
    return format;
}

// Subsampled chroma needs even sides: an odd side of the planned size becomes the even number
// nearest its exact proportion, as ffmpeg's scale=W:-2 makes it, unless --width -1 or --height -1
// asks for the exact size (then written 4:4:4). The pictures velmo draws are resized to it, and
// the pixel shape follows, as ffmpeg's scale filter sets it.
void make_sides_even(const Options& options, const VideoInfo& info, VideoFormat& format)
{
    bool odd_width = info.chroma.shift_x > 0 && format.width % 2 != 0;
    bool odd_height = info.chroma.shift_y > 0 && format.height % 2 != 0;
    if (info.rgb || (!odd_width && !odd_height))
        return;
    if (options.exact_size) {
        note(size_text(format.width, format.height) + " has an odd side, which " + chroma_text(info.chroma) +
             " video cannot have: its chroma is written in full (4:4:4)");
        return;
    }
    auto nearest_even = [](double side) { return std::max(2, 2 * static_cast<int>(std::lround(side / 2))); };
    format.picture_width = format.width;
    format.picture_height = format.height;
    if (odd_width)
        format.width = nearest_even(static_cast<double>(format.height) * info.width / info.height);
    if (odd_height)
        format.height = nearest_even(static_cast<double>(format.picture_width) * info.height / info.width);
    // The pixels' shape makes up for the stretch, so the picture keeps its proportions on screen.
    AVRational shape = format.sample_aspect_ratio.num > 0 ? format.sample_aspect_ratio : AVRational{1, 1};
    av_reduce(&format.sample_aspect_ratio.num, &format.sample_aspect_ratio.den,
              static_cast<int64_t>(shape.num) * format.height * info.width,
              static_cast<int64_t>(shape.den) * format.width * info.height, 1 << 30);
    note(chroma_text(info.chroma) + " video needs even sides: written " + size_text(format.width, format.height) +
         " rather than " + size_text(format.picture_width, format.picture_height) +
         " (--width -1 or --height -1 keeps the exact size, written 4:4:4)");
}

// Every stream beside the video that the output takes, and the file's items; the output stream
// of each input stream, -1 for those left out (each named on standard error).
std::vector<int> add_copied_streams(VideoWriter& writer, const AVFormatContext& input, int video_index,
                                    bool no_audio)
{
    std::vector<int> copied_as(input.nb_streams, -1);
    copied_as[static_cast<size_t>(video_index)] = 0;
    writer.keep_items_of(input, *input.streams[video_index]);
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream* stream = input.streams[i];
        // The demuxer discards streams it has turned into something else, MP4's chapter track
        // into chapters, say.
        if (static_cast<int>(i) == video_index || stream->discard == AVDISCARD_ALL ||
            (no_audio && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO))
            continue;
        copied_as[i] = writer.add_copied_stream(*stream);
        if (copied_as[i] < 0)
            note(stream_name(*stream) + " (" + described(*stream) + ") cannot go into " + writer.format_name() +
                 "; left out");
        else if (writer.copied_codec(copied_as[i]) != stream->codecpar->codec_id &&
                 stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            note(stream_name(*stream) + " (" + described(*stream) + ") re-encoded as " +
                 avcodec_get_name(writer.copied_codec(copied_as[i])) + ", which " + writer.format_name() +
                 " players play; --no-audio leaves the sound out");
        else if (writer.copied_codec(copied_as[i]) != stream->codecpar->codec_id)
            note(stream_name(*stream) + " (" + described(*stream) + ") written as " +
                 avcodec_get_name(writer.copied_codec(copied_as[i])) + ", which " + writer.format_name() +
                 " holds; styling may be simpler");
    }
    return copied_as;
}

// Every frame decoded, upscaled and encoded, the other streams' packets copied as they come; the
// first frame also drawn beside an ordinary upscale when `compare` is given, and each frame's
// transparency carried beside velmo's drawing when the writer keeps it. The stages overlap unless
// `overlapped` is false; the file written is the same either way. True when a frame was partly
// transparent and the writer keeps no alpha.
bool upscale_frames(const Options& options, VideoReader& reader, FrameUpscaler& upscaler, VideoWriter& writer,
                    const std::vector<int>& copied_as, OutputFile* compare, Progress& progress, bool overlapped)
{
    // Formats with alpha often hold opaque frames only (animated pictures flattened on white):
    // only transparency that is there is worth naming as lost.
    bool transparency_lost = false;
    const bool may_lose_transparency = reader.info().alpha && !writer.keeps_alpha();
    std::unique_ptr<AlphaPlanes> alpha;
    if (writer.keeps_alpha())
        alpha = std::make_unique<AlphaPlanes>(writer.picture_width(), writer.picture_height());
    const AVFormatContext* input = reader.container();
    RgbaImage frame;
    RgbaImage first; // the first frame, kept for the comparison
    FrameStages stages;
    stages.decode = [&](AVFrame& picture, int64_t& pts, const FrameStages::PacketSink& other_packets) {
        return reader.read_picture(picture, pts, other_packets);
    };
    stages.draw = [&](const AVFrame& picture, int64_t index) {
        reader.to_rgba(picture, frame);
        upscaler.start(frame, index);
        if (alpha)
            alpha->keep(frame, index);
        for (size_t i = 3; may_lose_transparency && !transparency_lost && i < frame.pixels.size(); i += 4)
            transparency_lost = frame.pixels[i] != 255;
        if (compare && index == 0)
            first = frame;
    };
    stages.finish = [&](AVFrame& encoded, int64_t index) {
        upscaler.finish([&](const uint8_t* pixels, int width, int height) {
            if (alpha)
                writer.convert(alpha->apply(pixels, width * 4, index), width * 4, encoded);
            else
                writer.convert(pixels, width * 4, encoded);
            if (compare && index == 0) {
                RgbaImage result(width, height);
                std::copy(pixels, pixels + result.pixels.size(), result.pixels.begin());
                RgbaImage reference = reference_resize(first, width, height, options.compare_filter);
                first = RgbaImage();
                write_png_to(*compare, side_by_side(reference, result, 8), false);
            }
        });
    };
    stages.copy = [&](AVPacket& packet) {
        int target = copied_as[static_cast<size_t>(packet.stream_index)];
        if (target >= 0)
            writer.write_copied_packet(packet, target, input->streams[packet.stream_index]->time_base);
    };
    stages.encode = [&](AVFrame& encoded, int64_t pts) {
        writer.write_frame(encoded, pts);
        progress.frame_done();
    };
    run_frame_stages(stages, overlapped);
    progress.finish();
    return transparency_lost;
}

// The run's summary line.
std::string video_summary(const Options& options, const VideoReader& reader, const VideoWriter& writer,
                          const VideoFormat& format, const ScalePlan& plan, const std::vector<int>& copied_as,
                          const Progress& progress, const std::string& backend, bool compared)
{
    const VideoInfo& info = reader.info();
    double seconds = progress.elapsed_seconds();
    char timing[96];
    std::snprintf(timing, sizeof timing, " in %.1f s (%.1f fps), %.4g fps", seconds,
                  static_cast<double>(progress.frames_done()) / seconds, av_q2d(info.frame_rate));
    std::string summary = options.input + " " + size_text(info.width, info.height) + " -> " + options.output + " " +
                          size_text(format.width, format.height) + ": " + plural(progress.frames_done(), "frame") +
                          timing + ", " + writer.encoder_description() +
                          (info.bit_depth > 8 ? ", " + std::to_string(info.bit_depth) +
                                                    "-bit input processed at 8 bits per channel"
                                              : "") +
                          (reader.interlace_summary().empty() ? "" : ", " + reader.interlace_summary()) +
                          ", " + copied_text(*reader.container(), copied_as, reader.video_stream_index()) + ", " +
                          (velmo_upscales(options.priority, info.width, info.height)
                               ? "upscaled"
                               : "stretched only (priority " + std::to_string(options.priority) + ")") +
                          (plan.pass_scales.size() > 1 ? " in " + passes_text(plan) : "") + " on " + backend;
    if (reader.damaged_packets() > 0)
        summary += ", " + plural(reader.damaged_packets(), "damaged packet") + " skipped";
    if (compared)
        summary += std::string("; ") + compare_filter_name(options.compare_filter) +
                   " | velmo (first frame): " + options.compare_path;
    return summary;
}

} // namespace

std::string upscale_video(const Options& options, const std::string& config_folder)
{
    InputFile input_file(options.input);
    const bool png = input_file.starts_with_png_signature();
    // FFmpeg reads still WebP pictures only; an animated one's frames come decoded by libwebp.
    std::unique_ptr<InputFile> webp_frames = !png && is_animated_webp(input_file) ? animated_webp_as_video(input_file)
                                                                                 : nullptr;
    VideoReader reader(webp_frames ? *webp_frames : input_file);
    // FFmpeg reads an animated PNG as one; a still one is a picture.
    if (png && std::string(reader.container()->iformat->name) != "apng")
        throw ToolError(kExitUsage, "'" + options.input + "' is a PNG picture; write it to a .png file");
    reader.set_deinterlace(options.deinterlace);
    // Of the tool's containers only MP4 and MOV carry a display matrix; elsewhere the pixels are turned.
    if (options.output_kind != OutputKind::Mp4 && options.output_kind != OutputKind::Mov)
        if (int degrees = reader.turn_upright())
            note(turned_upright_text(options.output_kind, degrees));
    const VideoInfo& info = reader.info();
    ScalePlan plan = plan_scale(options, info.width, info.height, "video");
    VideoFormat format = output_format(options, reader, plan);
    make_sides_even(options, info, format);

    OutputFile output(options.output);
    std::unique_ptr<OutputFile> compare;
    if (!options.compare_path.empty())
        compare = std::make_unique<OutputFile>(options.compare_path);
    VideoWriter writer(output.write_path(), options.output_kind, format, options.encoder, options.output);
    if (!writer.downgrade().empty())
        note(writer.downgrade());
    // Y4M holds frames and their colour tags only: HDR10's metadata has no place there. Metadata
    // found in the video bitstream rather than the container is named here; the check of the
    // finished file compares containers and would not see it go.
    bool from_bitstream = info.mastering_display.empty() && info.content_light.empty();
    if (options.output_kind == OutputKind::Y4m && from_bitstream &&
        (!format.mastering_display.empty() || !format.content_light.empty()))
        note(std::string("Y4M output left out ") +
             (format.mastering_display.empty() ? "" : "the mastering-display metadata") +
             (!format.mastering_display.empty() && !format.content_light.empty() ? " and " : "") +
             (format.content_light.empty() ? "" : "the content light level") +
             " of the HDR10 video (.mkv and .mp4 keep them)");
    const AVFormatContext* input = reader.container();
    const std::vector<int> copied_as =
        add_copied_streams(writer, *input, reader.video_stream_index(), options.no_audio);
    writer.start();

    std::unique_ptr<FrameUpscaler> upscaler =
        make_frame_upscaler(options, config_folder, info.width, info.height, plan, "'" + options.input + "'");
    reader.keep_frame_sizes();
    Progress progress(stderr, info.frame_count);
    bool transparency_lost = upscale_frames(options, reader, *upscaler, writer, copied_as, compare.get(), progress,
                                            stages_overlap_by_default());
    if (progress.frames_done() == 0)
        throw ToolError(kExitInput, "no frame of '" + options.input + "' could be decoded");
    writer.finish();
    if (transparency_lost)
        note("the video's transparency is left out: " + writer.encoder_description() + " in " + writer.format_name() +
             " has no alpha channel (.webm with VP9, or --codec ffv1 into .mkv, keeps it)");
    if (writer.frames_repeated() > 0 || writer.frames_dropped() > 0)
        note("Y4M holds a constant " + frame_rate_text(format.frame_rate) + " fps: " +
             plural(writer.frames_repeated(), "frame") + " repeated to fill gaps in the input's timing, " +
             plural(writer.frames_dropped(), "frame") + " dropped where two fell in one frame's time");
    // A pipe or standard output cannot be read back; what they miss was named as streams were added.
    if (output.replaces_file()) {
        for (const std::string& item : items_left_out(*input, copied_as, output.write_path()))
            note(std::string(writer.format_name()) + " output left out " + item);
    }
    output.commit();
    if (compare)
        compare->commit();
    if (!reader.ended_early().empty())
        throw ToolError(kExitInput, "'" + options.input + "' ended early (" + reader.ended_early() + "): " +
                                        plural(progress.frames_done(), "frame") + " written to '" +
                                        options.output + "'");
    return video_summary(options, reader, writer, format, plan, copied_as, progress, upscaler->backend_text(),
                         compare != nullptr);
}

} // namespace velmo_upscale
