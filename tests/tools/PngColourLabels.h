// What a PNG file says about its colours, read with libpng.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace velmo_upscale_test {

// The colour labels of a PNG file: its ICC profile's name and bytes, and whether it says sRGB.
struct ColourLabels {
    std::string profile_name;
    std::vector<png_byte> profile;
    bool srgb = false;
};

// libpng's warnings (such as those about well-known profiles with a faulty header) are not
// what the tests look at.
inline void ignore_png_warning(png_structp, png_const_charp) {}

// The labels of the file at `path`; none where it cannot be read as a PNG file.
inline ColourLabels colour_labels(const std::string& path)
{
    ColourLabels labels;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return labels;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignore_png_warning);
    png_infop info = png_create_info_struct(png);
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_charp name = nullptr;
        int compression = 0;
        png_bytep data = nullptr;
        png_uint_32 length = 0;
        if (png_get_iCCP(png, info, &name, &compression, &data, &length)) {
            labels.profile_name = name;
            labels.profile.assign(data, data + length);
        }
        labels.srgb = png_get_valid(png, info, PNG_INFO_sRGB) != 0;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return labels;
}

} // namespace velmo_upscale_test
