// 16-bit grey PNG files as FFmpeg and scanners write them, for the tool's brightness tests.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace velmo_upscale_test {

// A width x height picture of one 16-bit grey value; a gAMA chunk only when `gamma` is above 0.
inline bool write_grey16_png(const std::string& path, int width, int height, uint16_t value, double gamma = 0)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<size_t>(width) * 2);
    for (int x = 0; x < width; ++x) {
        row[static_cast<size_t>(x) * 2] = static_cast<png_byte>(value >> 8);
        row[static_cast<size_t>(x) * 2 + 1] = static_cast<png_byte>(value & 0xff);
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (gamma > 0)
        png_set_gAMA(png, info, gamma);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace velmo_upscale_test
