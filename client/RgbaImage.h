// An 8-bit RGBA picture in memory, rows top to bottom as GL uploads and reads them: the unit every
// player-side program of velmo passes around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo_client {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width * height * 4 bytes, no row padding

    RgbaImage() = default;
    RgbaImage(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4, 0) {}

    uint8_t* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

} // namespace velmo_client
