// PNG reading and writing; every libpng failure becomes a ToolError with the file's name.
#include "PngIo.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "InputFile.h"
#include "Orientation.h"
#include "OutputFile.h"
#include "ToolError.h"

namespace velmo_upscale {
namespace {

// Pictures beyond this are refused before any allocation: velmo's textures could not hold them
// anyway, and a forged header must not make us reserve gigabytes.
constexpr png_uint_32 kMaxSide = 16384;
// Deflate packs at most 1032 bytes into one, so a file holds at most this many times its size
// in picture rows.
constexpr uint64_t kMaxDeflateRatio = 1032;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports errors through a callback that must not return: keep the text, jump back.
void keep_error(png_structp png, png_const_charp message)
{
    auto* text = static_cast<char*>(png_get_error_ptr(png));
    std::snprintf(text, 256, "%s", message);
    png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

// libpng allocates whatever length a chunk header declares (up to 2 GiB) before it finds that the
// file is too short to hold it. No honest chunk or row buffer comes near this limit (rows of the
// widest picture take 128 KiB, colour profiles a few MiB), so larger requests fail as running out
// of memory does: libpng skips the chunk or stops with an error.
constexpr png_alloc_size_t kMaxAllocation = 64 * 1024 * 1024;

png_voidp limited_malloc(png_structp, png_alloc_size_t size)
{
    return size <= kMaxAllocation ? std::malloc(size) : nullptr;
}

void limited_free(png_structp, png_voidp data)
{
    std::free(data);
}

void discard_bytes(png_structp, png_bytep, size_t) {}

void read_from_input(png_structp png, png_bytep data, size_t size)
{
    auto* input = static_cast<InputFile*>(png_get_io_ptr(png));
    while (size > 0) {
        size_t count = 0;
        bool failed = false;
        try {
            count = input->read(data, size);
        } catch (const ToolError&) {
            failed = true;
        }
        if (failed)
            png_error(png, "read error");
        if (count == 0)
            png_error(png, "the file ends too early");
        data += count;
        size -= count;
    }
}

// A libpng write struct with its info, destroyed together; an error keeps its text in `message`
// and jumps back to the caller's setjmp.
struct WriteHandles {
    WriteHandles()
    {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, keep_error, ignore_warning);
        info = png ? png_create_info_struct(png) : nullptr;
        if (!info) {
            png_destroy_write_struct(&png, nullptr);
            throw std::bad_alloc();
        }
    }
    ~WriteHandles() { png_destroy_write_struct(&png, &info); }
    WriteHandles(const WriteHandles&) = delete;
    WriteHandles& operator=(const WriteHandles&) = delete;

    char message[256] = {};
    png_structp png = nullptr;
    png_infop info = nullptr;
};

// The row pointers libpng reads into or writes from.
std::vector<png_bytep> rows_of(const RgbaImage& image)
{
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.at(0, y));
    return rows;
}

} // namespace

PngReader::Handles::~Handles()
{
    png_destroy_read_struct(&png, &info, nullptr);
}

PngReader::PngReader(InputFile& input) : _input(input)
{
    _handles.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, _message, keep_error, ignore_warning, nullptr,
                                            limited_malloc, limited_free);
    _handles.info = _handles.png ? png_create_info_struct(_handles.png) : nullptr;
    if (!_handles.info)
        throw std::bad_alloc();
    png_structp png = _handles.png;
    png_infop info = _handles.info;
    if (setjmp(png_jmpbuf(png)))
        fail("is not a readable PNG: ");
    png_set_read_fn(png, &_input, read_from_input);
    // An animated PNG tells itself by this chunk, which libpng does not know.
    static const png_byte animation_chunk[] = "acTL";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, animation_chunk, 1);
    png_read_info(png, info);
    read_extras();

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        throw ToolError(kExitInput, "'" + _input.path() + "' is " + std::to_string(width) + "x" +
                                        std::to_string(height) + " pixels; up to " + std::to_string(kMaxSide) +
                                        " on each side is supported");
    // A header that claims more rows than the rest of the file could hold, forged or cut short, is
    // refused before the picture is allocated. Pipes have no size to compare with.
    uint64_t row_bytes = png_get_rowbytes(png, info);
    if (_input.size() >= 0 &&
        static_cast<uint64_t>(_input.size()) * kMaxDeflateRatio < row_bytes * static_cast<uint64_t>(height))
        throw ToolError(kExitInput, "'" + _input.path() + "' is damaged: its " + std::to_string(_input.size()) +
                                        " bytes cannot hold the " + std::to_string(width) + "x" +
                                        std::to_string(height) + " picture its header announces");
    _width = static_cast<int>(width);
    _height = static_cast<int>(height);
    int color_type = png_get_color_type(png, info);
    _has_alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    if (!_has_alpha)
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    // Samples are in the sRGB-like encoding of ordinary pictures unless the file states another
    // gamma; 16-bit samples are no exception.
    png_charp profile_name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profile_length = 0;
    if (png_get_iCCP(png, info, &profile_name, &compression, &profile, &profile_length) && profile_length > 0) {
        _profile.name = profile_name;
        _profile.bytes.assign(profile, profile + profile_length);
    }
    double gamma = 0;
    if (!png_get_valid(png, info, PNG_INFO_sRGB) && _profile.bytes.empty() && png_get_gAMA(png, info, &gamma) &&
        gamma > 0)
        png_set_gamma(png, PNG_DEFAULT_sRGB, gamma);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

void PngReader::read_extras()
{
    png_structp png = _handles.png;
    png_infop info = _handles.info;
    _bit_depth = png_get_bit_depth(png, info);
    png_uint_32 exif_size = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &exif_size, &exif) && exif)
        _orientation = exif_orientation(exif, exif_size);
    png_unknown_chunkp chunks = nullptr;
    int count = png_get_unknown_chunks(png, info, &chunks);
    for (int i = 0; i < count; ++i)
        if (std::memcmp(chunks[i].name, "acTL", 4) == 0 && chunks[i].size >= 8) {
            const png_byte* data = chunks[i].data;
            uint32_t frames = uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
            _frame_count = static_cast<int>(std::min<uint32_t>(std::max<uint32_t>(frames, 1), INT32_MAX));
        }
}

void PngReader::fail(const std::string& what) const
{
    throw ToolError(kExitInput, "'" + _input.path() + "' " + what + _message);
}

void PngReader::read(RgbaImage& image)
{
    image = RgbaImage(_width, _height);
    std::vector<png_bytep> rows = rows_of(image);
    if (setjmp(png_jmpbuf(_handles.png)))
        fail("is damaged: ");
    png_read_image(_handles.png, rows.data());
    png_read_end(_handles.png, nullptr);
}

bool looks_like_png(const std::string& path)
{
    try {
        InputFile input(path);
        return input.starts_with_png_signature();
    } catch (const ToolError&) {
        return false;
    }
}

PngPicture read_png(const std::string& path)
{
    InputFile input(path);
    PngReader reader(input);
    PngPicture picture;
    picture.has_alpha = reader.has_alpha();
    picture.profile = reader.profile();
    reader.read(picture.image);
    return picture;
}

void write_png(std::FILE* file, const RgbaImage& image, bool with_alpha, const std::string& display_name,
               const IccProfile* profile)
{
    WriteHandles handles;
    png_structp png = handles.png;
    png_infop info = handles.info;
    std::vector<png_bytep> rows = rows_of(image);
    if (setjmp(png_jmpbuf(png)))
        throw ToolError(kExitOutput, "cannot write '" + display_name + "': " + handles.message);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (profile && !profile->bytes.empty())
        png_set_iCCP(png, info, profile->name.c_str(), PNG_COMPRESSION_TYPE_BASE, profile->bytes.data(),
                     static_cast<png_uint_32>(profile->bytes.size()));
    else
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    // An opaque picture leaves its fourth byte out row by row, with no RGB copy of the whole.
    if (!with_alpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    if (std::fflush(file) != 0 || std::ferror(file))
        throw ToolError(kExitOutput, "cannot write '" + display_name + "': " + std::strerror(errno));
}

bool png_can_carry(const IccProfile& profile)
{
    WriteHandles handles;
    png_structp png = handles.png;
    png_infop info = handles.info;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, nullptr, discard_bytes, nullptr);
    png_set_IHDR(png, info, 1, 1, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_iCCP(png, info, profile.name.empty() ? "ICC profile" : profile.name.c_str(), PNG_COMPRESSION_TYPE_BASE,
                 profile.bytes.data(), static_cast<png_uint_32>(profile.bytes.size()));
    // libpng may also drop a profile with only a warning.
    bool kept = png_get_valid(png, info, PNG_INFO_iCCP) != 0;
    png_write_info(png, info);
    return kept;
}

void write_png_to(const OutputFile& output, const RgbaImage& image, bool with_alpha, const IccProfile* profile)
{
    const std::string& name = output.final_path();
    FilePtr file(std::fopen(output.write_path().c_str(), "wb"));
    if (!file)
        throw ToolError(kExitOutput, "cannot write '" + name + "': " + std::strerror(errno));
    write_png(file.get(), image, with_alpha, name, profile);
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
