// Luma gradient energy over the whole picture.
#include "Sharpness.h"

#include <cmath>
#include <vector>

namespace velmo_bench {

double luma_gradient_rms(const velmo_upscale::RgbaImage& image)
{
    if (image.width < 2 || image.height < 2)
        return 0;
    std::vector<double> luma(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* pixel = image.at(x, y);
            luma[static_cast<size_t>(y) * image.width + x] = 0.299 * pixel[0] + 0.587 * pixel[1] + 0.114 * pixel[2];
        }
    double sum = 0;
    for (int y = 0; y + 1 < image.height; ++y)
        for (int x = 0; x + 1 < image.width; ++x) {
            size_t i = static_cast<size_t>(y) * image.width + x;
            double across = luma[i + 1] - luma[i];
            double down = luma[i + image.width] - luma[i];
            sum += across * across + down * down;
        }
    return std::sqrt(sum / (static_cast<double>(image.width - 1) * (image.height - 1)));
}

} // namespace velmo_bench
