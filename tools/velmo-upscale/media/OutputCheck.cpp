// Reads a finished output back and lists what of the input it lacks.
#include "OutputCheck.h"

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/pixdesc.h>
}

#include <string>

namespace velmo_upscale {
namespace {

void missing_tags(const AVDictionary* kept, const AVDictionary* wanted, const std::string& owner,
                  std::vector<std::string>& items)
{
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(wanted, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        // "und" says the language is unknown, which a file without the tag says as well.
        bool unknown_language = av_strcasecmp(tag->key, "language") == 0 && std::string(tag->value) == "und";
        if (!unknown_language && !is_encoding_tag(tag->key) && !av_dict_get(kept, tag->key, nullptr, 0))
            items.push_back("the tag '" + std::string(tag->key) + "' of " + owner);
    }
}

bool has_side_data(const AVStream& stream, AVPacketSideDataType type)
{
    return av_stream_get_side_data(&stream, type, nullptr) != nullptr;
}

void missing_colour(const AVCodecParameters& kept, const AVCodecParameters& wanted, std::vector<std::string>& items)
{
    if (wanted.color_primaries != AVCOL_PRI_UNSPECIFIED && kept.color_primaries != wanted.color_primaries)
        items.push_back(std::string("the colour primaries (") + av_color_primaries_name(wanted.color_primaries) + ")");
    if (wanted.color_trc != AVCOL_TRC_UNSPECIFIED && kept.color_trc != wanted.color_trc)
        items.push_back(std::string("the transfer characteristic (") + av_color_transfer_name(wanted.color_trc) + ")");
    if (wanted.color_space != AVCOL_SPC_UNSPECIFIED && wanted.color_space != AVCOL_SPC_RGB &&
        kept.color_space != wanted.color_space)
        items.push_back(std::string("the colour matrix (") + av_color_space_name(wanted.color_space) + ")");
    // RGB (an animated PNG's, say) is full range by nature; written as YUV it becomes limited range
    // rather than losing a mark.
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(wanted.format));
    const bool rgb = format && (format->flags & AV_PIX_FMT_FLAG_RGB);
    if (!rgb && wanted.color_range == AVCOL_RANGE_JPEG && kept.color_range != AVCOL_RANGE_JPEG)
        // The encoder was given full-range values and kept them; only the mark saying so is gone.
        items.push_back("the full-range mark: the picture keeps its full-range values, which players "
                        "without the mark show as limited range, shadows and highlights clipped");
}

} // namespace

std::vector<std::string> items_left_out(const AVFormatContext& input, const std::vector<int>& written_as,
                                        const std::string& path)
{
    std::vector<std::string> items;
    AVFormatContext* output = nullptr;
    if (avformat_open_input(&output, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return items;
    if (avformat_find_stream_info(output, nullptr) < 0) {
        avformat_close_input(&output);
        return items;
    }

    missing_tags(output->metadata, input.metadata, "the file", items);
    if (output->nb_chapters < input.nb_chapters)
        items.push_back(output->nb_chapters == 0
                            ? "the " + std::to_string(input.nb_chapters) + " chapters"
                            : std::to_string(input.nb_chapters - output->nb_chapters) + " of the " +
                                  std::to_string(input.nb_chapters) + " chapters");

    for (unsigned i = 0; i < input.nb_streams && i < written_as.size(); ++i) {
        int index = written_as[i];
        if (index < 0 || index >= static_cast<int>(output->nb_streams))
            continue;
        const AVStream& wanted = *input.streams[i];
        const AVStream& kept = *output->streams[index];
        std::string name = stream_name(wanted);
        missing_tags(kept.metadata, wanted.metadata, name, items);
        unsigned lost_marks = static_cast<unsigned>(wanted.disposition & ~kept.disposition);
        // The upscaled picture is played whether marked default or not (Y4M has no marks at all).
        if (index == 0)
            lost_marks &= ~static_cast<unsigned>(AV_DISPOSITION_DEFAULT);
        for (unsigned bit = 1; bit != 0; bit <<= 1)
            if (lost_marks & bit) {
                const char* mark = av_disposition_to_string(static_cast<int>(bit));
                items.push_back("the '" + std::string(mark ? mark : "?") + "' mark of " + name);
            }
        if (wanted.codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        missing_colour(*kept.codecpar, *wanted.codecpar, items);
        if (has_side_data(wanted, AV_PKT_DATA_MASTERING_DISPLAY_METADATA) &&
            !has_side_data(kept, AV_PKT_DATA_MASTERING_DISPLAY_METADATA))
            items.push_back("the mastering-display metadata of " + name);
        if (has_side_data(wanted, AV_PKT_DATA_CONTENT_LIGHT_LEVEL) &&
            !has_side_data(kept, AV_PKT_DATA_CONTENT_LIGHT_LEVEL))
            items.push_back("the content light level of " + name);
    }
    avformat_close_input(&output);
    return items;
}

} // namespace velmo_upscale
