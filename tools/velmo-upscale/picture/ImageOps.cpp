// Comparison picture and the reference resize beside it.
#include "ImageOps.h"

#include <algorithm>
#include <cstring>

#include "AvSupport.h"
#include "ToolError.h"

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

RgbaImage reference_resize(const RgbaImage& source, int width, int height, CompareFilter filter)
{
    int flags = SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
    switch (filter) {
    case CompareFilter::Bilinear:
        flags |= SWS_BILINEAR;
        break;
    case CompareFilter::Bicubic:
        flags |= SWS_BICUBIC;
        break;
    case CompareFilter::Lanczos:
        flags |= SWS_LANCZOS;
        break;
    }
    SwsPtr scaler(sws_getContext(source.width, source.height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_RGBA, flags,
                                 nullptr, nullptr, nullptr));
    if (!scaler)
        throw ToolError(kExitFailure, "libswscale cannot resize " + std::to_string(source.width) + "x" +
                                          std::to_string(source.height) + " to " + std::to_string(width) + "x" +
                                          std::to_string(height));
    RgbaImage result(width, height);
    const uint8_t* source_planes[4] = {source.pixels.data(), nullptr, nullptr, nullptr};
    const int source_strides[4] = {source.width * 4, 0, 0, 0};
    uint8_t* planes[4] = {result.pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {width * 4, 0, 0, 0};
    sws_scale(scaler.get(), source_planes, source_strides, 0, source.height, planes, strides);
    return result;
}

} // namespace velmo_upscale
