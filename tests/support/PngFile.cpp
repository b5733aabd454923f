// Minimal libpng writer for RGBA8 images.
#include "support/PngFile.h"

#include <png.h>

#include <cstdio>

namespace velmo_test {

bool write_png(const std::string& path, const RgbaImage& image)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    bool ok = png_image_write_to_stdio(&png, file, 0, image.pixels.data(), 0, nullptr) != 0;
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

} // namespace velmo_test
