// EXIF orientation: the tag found in a TIFF directory, and the pixels turned and mirrored.
#include "Orientation.h"

#include <cstdlib>
#include <cstring>

namespace velmo_upscale {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

bool valid(int orientation)
{
    return orientation >= 1 && orientation <= 8;
}

} // namespace

int exif_orientation(const uint8_t* exif, size_t size)
{
    if (size >= 6 && std::memcmp(exif, "Exif\0\0", 6) == 0) {
        exif += 6;
        size -= 6;
    }
    if (size < 8)
        return 1;
    const bool little = exif[0] == 'I' && exif[1] == 'I';
    if (!little && !(exif[0] == 'M' && exif[1] == 'M'))
        return 1;
    auto u16 = [&](size_t at) {
        return static_cast<uint16_t>(little ? exif[at] | exif[at + 1] << 8 : exif[at] << 8 | exif[at + 1]);
    };
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(little ? u16(at) | uint32_t(u16(at + 2)) << 16
                                            : uint32_t(u16(at)) << 16 | u16(at + 2));
    };
    if (u16(2) != 42)
        return 1;
    const size_t directory = u32(4);
    if (directory > size - 2)
        return 1;
    const size_t entries = u16(directory);
    for (size_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + 12 * i;
        if (entry + 12 > size)
            return 1;
        if (u16(entry) == kOrientationTag && u16(entry + 2) == kShortType && u32(entry + 4) == 1) {
            int orientation = u16(entry + 8);
            return valid(orientation) ? orientation : 1;
        }
    }
    return 1;
}

int orientation_from_text(const char* text)
{
    if (!text)
        return 1;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    while (end && *end == ' ')
        ++end;
    return end && end != text && *end == '\0' && valid(static_cast<int>(value)) ? static_cast<int>(value) : 1;
}

bool orientation_swaps_sides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

RgbaImage apply_orientation(const RgbaImage& stored, int orientation)
{
    const int w = stored.width;
    const int h = stored.height;
    const bool sideways = orientation_swaps_sides(orientation);
    RgbaImage shown = sideways ? RgbaImage(h, w) : RgbaImage(w, h);
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            // The stored pixel that lands at (x, y) on display.
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;
            case 4: sy = h - 1 - y; break;
            case 5: sx = y; sy = x; break;
            case 6: sx = y; sy = h - 1 - x; break;
            case 7: sx = w - 1 - y; sy = h - 1 - x; break;
            case 8: sx = w - 1 - y; sy = x; break;
            default: break;
            }
            std::memcpy(shown.at(x, y), stored.at(sx, sy), 4);
        }
    return shown;
}

std::string orientation_text(int orientation)
{
    switch (orientation) {
    case 2: return "mirrored left to right";
    case 3: return "turned 180 degrees";
    case 4: return "mirrored top to bottom";
    case 5: return "turned 90 degrees clockwise and mirrored left to right";
    case 6: return "turned 90 degrees clockwise";
    case 7: return "turned 90 degrees clockwise and mirrored top to bottom";
    case 8: return "turned 90 degrees counterclockwise";
    default: return "";
    }
}

} // namespace velmo_upscale
