// PNG reading and writing; every libpng failure becomes a ToolError with the file's name.
#include "PngIo.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "OutputFile.h"
#include "ToolError.h"

namespace velmo_upscale {
namespace {

// Pictures beyond this are refused before any allocation: velmo's textures could not hold them
// anyway, and a forged header must not make us reserve gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

bool looks_like_png(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    png_byte signature[8];
    return std::fread(signature, 1, sizeof signature, file.get()) == sizeof signature &&
           png_sig_cmp(signature, 0, sizeof signature) == 0;
}

PngPicture read_png(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw ToolError(kExitInput, "cannot open '" + path + "': " + std::strerror(errno));

    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&png, file.get()))
        throw ToolError(kExitInput, "'" + path + "' is not a readable PNG: " + png.message);
    if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
        png_image_free(&png);
        throw ToolError(kExitInput, "'" + path + "' is " + std::to_string(png.width) + "x" +
                                        std::to_string(png.height) + " pixels; up to " +
                                        std::to_string(kMaxSide) + " on each side is supported");
    }

    PngPicture picture;
    picture.has_alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png.format = PNG_FORMAT_RGBA;
    picture.image = RgbaImage(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, picture.image.pixels.data(), 0, nullptr))
        throw ToolError(kExitInput, "'" + path + "' is damaged: " + png.message);
    return picture;
}

void write_png(std::FILE* file, const RgbaImage& image, bool with_alpha, const std::string& display_name)
{
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    const uint8_t* pixels = image.pixels.data();
    std::vector<uint8_t> rgb;
    if (!with_alpha) {
        rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
        for (size_t i = 0, o = 0; i < image.pixels.size(); i += 4, o += 3)
            std::memcpy(&rgb[o], &image.pixels[i], 3);
        png.format = PNG_FORMAT_RGB;
        pixels = rgb.data();
    }
    if (!png_image_write_to_stdio(&png, file, 0, pixels, 0, nullptr))
        throw ToolError(kExitOutput, "cannot write '" + display_name + "': " + png.message);
}

void write_png_to(const OutputFile& output, const RgbaImage& image, bool with_alpha)
{
    const std::string& name = output.final_path();
    FilePtr file(std::fopen(output.temporary_path().c_str(), "wb"));
    if (!file)
        throw ToolError(kExitOutput, "cannot write '" + name + "': " + std::strerror(errno));
    write_png(file.get(), image, with_alpha, name);
    if (std::fclose(file.release()) != 0)
        throw ToolError(kExitOutput, "cannot write '" + name + "': " + std::strerror(errno));
}

void save_png(const std::string& path, const RgbaImage& image, bool with_alpha)
{
    OutputFile output(path);
    write_png_to(output, image, with_alpha);
    output.commit();
}

} // namespace velmo_upscale
