// velmo-upscale's option parser and PNG reader fed with arbitrary bytes: every outcome is a
// usable result or the tool's own error with its exit status and a message, never anything else.
#include "Checks.h"

#include <zlib.h>

#include <cmath>
#include <exception>
#include <vector>

#include "InputRefusal.h"
#include "Options.h"
#include "PngIo.h"
#include "ScratchFile.h"
#include "ToolError.h"

using namespace velmo_upscale;

namespace velmo_fuzz {
namespace {

bool in_range(float value, float low, float high)
{
    return std::isfinite(value) && value >= low && value <= high;
}

std::string options_broken(const Options& options)
{
    if (options.show_help || options.show_version)
        return {};
    if (!options.output_dir.empty()) {
        if (options.inputs.empty())
            return "a batch without inputs was accepted";
        for (const auto& input : options.inputs) {
            if (input.empty() || input == "-")
                return "a batch input without a name was accepted";
        }
    } else {
        if (options.input.empty() || options.output.empty())
            return "an empty file name was accepted";
        if (options.output_kind != output_kind_for(options.output))
            return "the output kind does not follow the output name";
    }
    if (!in_range(options.scale, 0.0f, 1000.0f) || !in_range(options.sharpness, 0.0f, 4.0f) ||
        !in_range(options.sigma_s, 0.25f, 3.0f) || !in_range(options.sigma_r, 0.25f, 3.0f))
        return "a number outside its range was accepted";
    if (options.width < 0 || options.width > (1 << 20) || options.height < 0 || options.height > (1 << 20))
        return "an output size outside its range was accepted";
    if (options.level < 0 || options.level > 3 || options.priority < 0 || options.priority > 3)
        return "a level or priority outside its range was accepted";
    return {};
}

// Recomputes the checksum of every complete chunk after the 8-byte signature.
void fix_chunk_checksums(std::vector<unsigned char>& file)
{
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::size_t length = (std::size_t(file[at]) << 24) | (std::size_t(file[at + 1]) << 16) |
                                   (std::size_t(file[at + 2]) << 8) | file[at + 3];
        if (length > file.size() - at - 12)
            break;
        const uLong crc = crc32(crc32(0, nullptr, 0), &file[at + 4], static_cast<uInt>(length + 4));
        for (int i = 0; i < 4; ++i)
            file[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        at += length + 12;
    }
}

} // namespace

std::string check_tool_options(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments{"velmo-upscale"};
    std::string current;
    for (std::size_t i = 0; i < size && arguments.size() < 24; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty())
        arguments.push_back(current);
    std::vector<const char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());
    try {
        return options_broken(parse_options(static_cast<int>(argv.size()), argv.data()));
    } catch (const ToolError& error) {
        if (error.status() != kExitUsage || std::string(error.what()).empty())
            return "a refused command line gives status " + std::to_string(error.status()) + " and the message '" +
                   error.what() + "'";
        return {};
    } catch (const std::exception& error) {
        return std::string("parse_options threw ") + error.what();
    }
}

std::string check_png_reader(const std::uint8_t* data, std::size_t size)
{
    std::vector<unsigned char> file(data, data + size);
    if (size > 0 && (data[0] & 1))
        fix_chunk_checksums(file);
    const std::string& path = scratch_file_with(file.data(), file.size());
    return read_or_refuse("read_png", [&]() -> std::string {
        const PngPicture picture = read_png(path);
        const RgbaImage& image = picture.image;
        if (image.width < 1 || image.height < 1 || image.width > 16384 || image.height > 16384 ||
            image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 4)
            return "read_png returned a " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                   " picture of " + std::to_string(image.pixels.size()) + " bytes";
        if (!looks_like_png(path))
            return "a picture was read from a file without the PNG signature";
        return {};
    });
}

} // namespace velmo_fuzz
