// Comparison layout and alpha transfer.
#include "ImageOps.h"

#include <algorithm>
#include <cstring>

namespace velmo_upscale {

RgbaImage side_by_side(const RgbaImage& left, const RgbaImage& right, int gap)
{
    RgbaImage result(left.width + gap + right.width, std::max(left.height, right.height));
    for (size_t i = 0; i < result.pixels.size(); i += 4) {
        std::memset(&result.pixels[i], 128, 3);
        result.pixels[i + 3] = 255;
    }
    auto paste = [&result](const RgbaImage& part, int x) {
        for (int y = 0; y < part.height; ++y)
            std::memcpy(result.at(x, y), part.at(0, y), static_cast<size_t>(part.width) * 4);
    };
    paste(left, 0);
    paste(right, left.width + gap);
    return result;
}

void copy_alpha(const RgbaImage& source, RgbaImage& target)
{
    size_t bytes = std::min(source.pixels.size(), target.pixels.size());
    for (size_t i = 3; i < bytes; i += 4)
        target.pixels[i] = source.pixels[i];
}

} // namespace velmo_upscale
