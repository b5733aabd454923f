// Nearest-neighbour magnification keeps each pixel a visible square, so the filters' own work
// (halos, ringing, blur) stays visible instead of being smoothed over by the magnification.
#include "ZoomSheet.h"

#include <cstring>

#include "PngIo.h"

namespace velmo_bench {
namespace {

using velmo_upscale::RgbaImage;

RgbaImage magnified(const RgbaImage& image, int left, int top, int width, int height, int zoom)
{
    RgbaImage result(width * zoom, height * zoom);
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            std::memcpy(result.at(x, y), image.at(left + x / zoom, top + y / zoom), 4);
    return result;
}

} // namespace

void write_zoom_sheet(const std::string& path, const std::vector<std::vector<RgbaImage>>& rows)
{
    constexpr int kCrop = 128;
    constexpr int kZoom = 3;
    constexpr int kGap = 6;
    int side = kCrop * kZoom;
    int columns = static_cast<int>(rows.front().size());
    int count = static_cast<int>(rows.size());
    RgbaImage sheet(columns * (side + kGap) - kGap, count * (side + kGap) - kGap);
    for (size_t i = 3; i < sheet.pixels.size(); i += 4)
        sheet.pixels[i] = 255;
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < columns; ++column) {
            const RgbaImage& picture = rows[row][column];
            RgbaImage part = magnified(picture, (picture.width - kCrop) / 2, (picture.height - kCrop) / 2, kCrop,
                                       kCrop, kZoom);
            for (int y = 0; y < side; ++y)
                std::memcpy(sheet.at(column * (side + kGap), row * (side + kGap) + y), part.at(0, y),
                            static_cast<size_t>(side) * 4);
        }
    }
    velmo_upscale::save_png(path, sheet, false);
}

} // namespace velmo_bench
