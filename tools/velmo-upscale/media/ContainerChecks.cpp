// Matroska's Segment size read from the EBML header, the position of an MP4's samples against
// what was read to find its index, and tags with numbers FFmpeg does not know.
#include "ContainerChecks.h"

#include <cstring>

namespace velmo_upscale {
namespace {

constexpr uint32_t kEbmlHeaderId = 0x1A45DFA3;
constexpr uint32_t kSegmentId = 0x18538067;
// The EBML header is some 40 bytes; this leaves room for long DocType texts.
constexpr int kHeaderBytes = 512;

// One EBML variable-length number at `at`: its length comes from the first byte's leading zeros.
// `id` keeps the length marker (element IDs are written with it), sizes drop it; a size whose
// bits are all set is unknown and comes back as -1. False when the bytes end first.
bool read_vint(const uint8_t* bytes, size_t count, size_t& at, bool id, int64_t& value)
{
    if (at >= count || bytes[at] == 0)
        return false;
    int length = 1;
    while (!(bytes[at] & (0x80 >> (length - 1))))
        ++length;
    if (at + static_cast<size_t>(length) > count)
        return false;
    uint64_t number = id ? bytes[at] : bytes[at] & (0xFF >> length);
    bool all_set = number == (0xFFu >> length);
    for (int i = 1; i < length; ++i) {
        number = number << 8 | bytes[at + i];
        all_set = all_set && bytes[at + i] == 0xFF;
    }
    at += static_cast<size_t>(length);
    value = !id && all_set ? -1 : static_cast<int64_t>(number);
    return true;
}

} // namespace

int64_t matroska_segment_end(const uint8_t* bytes, size_t count)
{
    size_t at = 0;
    int64_t id = 0;
    int64_t size = 0;
    if (!read_vint(bytes, count, at, true, id) || id != kEbmlHeaderId || !read_vint(bytes, count, at, false, size) ||
        size < 0 || static_cast<uint64_t>(size) > count - at)
        return -1;
    at += static_cast<size_t>(size);
    if (!read_vint(bytes, count, at, true, id) || id != kSegmentId || !read_vint(bytes, count, at, false, size) ||
        size < 0)
        return -1;
    return static_cast<int64_t>(at) + size;
}

bool matroska_cut_short(AVFormatContext& format, int64_t file_size)
{
    if (file_size < 0 || !format.pb || !format.iformat || !std::strstr(format.iformat->name, "matroska"))
        return false;
    int64_t position = avio_tell(format.pb);
    uint8_t bytes[kHeaderBytes];
    int count = avio_seek(format.pb, 0, SEEK_SET) == 0 ? avio_read(format.pb, bytes, kHeaderBytes) : -1;
    avio_seek(format.pb, position, SEEK_SET);
    int64_t end = count > 0 ? matroska_segment_end(bytes, static_cast<size_t>(count)) : -1;
    return end > file_size;
}

bool media_before_index_on_pipe(const AVFormatContext& format, const AVStream& stream, bool seekable)
{
    if (seekable || !format.pb || !format.iformat || !std::strstr(format.iformat->name, "mp4"))
        return false;
    int entries = avformat_index_get_entries_count(&stream);
    const AVIndexEntry* last = entries > 0 ? avformat_index_get_entry(const_cast<AVStream*>(&stream), entries - 1)
                                           : nullptr;
    return last && last->pos + last->size <= avio_tell(format.pb);
}

std::string media_before_index_message(const std::string& path)
{
    return "'" + path +
           "' is an MP4 whose index (moov) comes after its media, and such a file cannot be read from a pipe: "
           "give its file name instead, or move the index to the front first with "
           "'ffmpeg -i IN -c copy -movflags +faststart OUT'";
}

namespace {

// The tag is read and written as the integer it is stored as, never as its enumeration.
template <typename Tag>
void forget_if_unknown(Tag& tag, int count, int unspecified)
{
    static_assert(sizeof(Tag) == sizeof(int), "FFmpeg's tags are int-sized");
    int number = 0;
    std::memcpy(&number, &tag, sizeof number);
    if (number < 0 || number >= count)
        std::memcpy(&tag, &unspecified, sizeof number);
}

} // namespace

void forget_unknown_tags(AVCodecParameters& parameters)
{
    forget_if_unknown(parameters.color_space, AVCOL_SPC_NB, AVCOL_SPC_UNSPECIFIED);
    forget_if_unknown(parameters.color_primaries, AVCOL_PRI_NB, AVCOL_PRI_UNSPECIFIED);
    forget_if_unknown(parameters.color_trc, AVCOL_TRC_NB, AVCOL_TRC_UNSPECIFIED);
    forget_if_unknown(parameters.color_range, AVCOL_RANGE_NB, AVCOL_RANGE_UNSPECIFIED);
    forget_if_unknown(parameters.chroma_location, AVCHROMA_LOC_NB, AVCHROMA_LOC_UNSPECIFIED);
    forget_if_unknown(parameters.field_order, AV_FIELD_BT + 1, AV_FIELD_UNKNOWN);
}

} // namespace velmo_upscale
