// Integer premultiplication and its inverse; at alpha 255 both are the identity exactly.
#include "PremultipliedAlpha.h"

#include <algorithm>

namespace velmo_upscale {

void premultiply_alpha(RgbaImage& image)
{
    for (size_t i = 0; i + 3 < image.pixels.size(); i += 4) {
        unsigned a = image.pixels[i + 3];
        for (size_t c = 0; c < 3; ++c)
            image.pixels[i + c] = static_cast<uint8_t>((image.pixels[i + c] * a + 127) / 255);
    }
}

void unpremultiply_with_alpha_of(const RgbaImage& alpha, RgbaImage& target)
{
    size_t bytes = std::min(alpha.pixels.size(), target.pixels.size());
    for (size_t i = 0; i + 3 < bytes; i += 4) {
        unsigned a = alpha.pixels[i + 3];
        target.pixels[i + 3] = static_cast<uint8_t>(a);
        for (size_t c = 0; c < 3; ++c) {
            unsigned value = a == 0 ? 0 : (target.pixels[i + c] * 255u + a / 2) / a;
            target.pixels[i + c] = static_cast<uint8_t>(std::min(value, 255u));
        }
    }
}

} // namespace velmo_upscale
