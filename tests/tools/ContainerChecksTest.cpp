// The Matroska Segment size read from a file's first bytes: known sizes of any length, the open
// size of live streams, and bytes that end too soon or are no Matroska at all.
#include <gtest/gtest.h>

#include <string>

#include "ContainerChecks.h"

using velmo_upscale::matroska_segment_end;

namespace {

int64_t segment_end(const std::string& bytes)
{
    return matroska_segment_end(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// An EBML header holding DocType "matroska", then the Segment ID and the size bytes given.
std::string header_and_segment(const std::string& size)
{
    return std::string("\x1A\x45\xDF\xA3\x8B\x42\x82\x88matroska", 16) + "\x18\x53\x80\x67" + size;
}

} // namespace

TEST(ContainerChecks, MatroskaSegmentEnd)
{
    // 16 header bytes, 4 of the Segment ID, then the size: one byte of 0x81 (1) or eight bytes.
    EXPECT_EQ(segment_end(header_and_segment("\x81")), 16 + 4 + 1 + 1);
    EXPECT_EQ(segment_end(header_and_segment(std::string("\x01\x00\x00\x00\x00\x03\x44\x7F", 8))),
              16 + 4 + 8 + 0x3447F);
    // All size bits set: a live stream's open size, which says nothing about the end.
    EXPECT_EQ(segment_end(header_and_segment("\xFF")), -1);
    EXPECT_EQ(segment_end(header_and_segment(std::string("\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8))), -1);
    // Cut inside the size, an ID other than the Segment's, and no EBML at all.
    EXPECT_EQ(segment_end(header_and_segment(std::string("\x01\x00\x00", 3))), -1);
    std::string other = header_and_segment("\x81");
    other[16] = '\x1F';
    EXPECT_EQ(segment_end(other), -1);
    EXPECT_EQ(segment_end(std::string("\x00\x00\x00\x18" "ftypisom", 12)), -1);
}
