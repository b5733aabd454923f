// PNG files in and out through libpng, any colour type and bit depth read as RGBA8.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "RgbaImage.h"

struct png_struct_def;
struct png_info_def;

namespace velmo_upscale {

class InputFile;

// An embedded ICC profile (iCCP chunk) as the file holds it, uncompressed; no bytes: none, and
// the samples are sRGB.
struct IccProfile {
    std::string name;
    std::vector<uint8_t> bytes;
};

struct PngPicture {
    RgbaImage image;
    bool has_alpha = false; // the file carried transparency (alpha channel or tRNS)
    IccProfile profile;
};

// Reads a PNG in two steps, so that its size is known before its pixels take any memory.
// Samples are taken as they are stored, whatever the bit depth; only a gAMA chunk (without sRGB
// or an ICC profile, which both take precedence) makes them converted to the sRGB encoding of
// 8-bit pictures. A profile is kept for the output, which holds samples in the same space.
class PngReader {
public:
    // Reads the header. Throws ToolError(kExitInput) for a damaged or oversized file.
    explicit PngReader(InputFile& input);
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    int width() const { return _width; }
    int height() const { return _height; }
    bool has_alpha() const { return _has_alpha; }
    const IccProfile& profile() const { return _profile; }
    // Bits per sample as stored (1 to 16); the picture is read at 8 whatever they are.
    int bit_depth() const { return _bit_depth; }
    // The EXIF orientation of an eXIf chunk ahead of the pixels; 1 when none.
    int orientation() const { return _orientation; }
    // The frames an animated PNG announces (acTL chunk); 1 for a still picture, which is all
    // that libpng reads of an animated one.
    int frame_count() const { return _frame_count; }

    // Decodes the pixels; once only. Throws ToolError(kExitInput) when the file is damaged.
    void read(RgbaImage& image);

private:
    // Depth, orientation and animation, from the chunks ahead of the pixels.
    void read_extras();
    [[noreturn]] void fail(const std::string& what) const;

    // Destroyed also when the constructor throws.
    struct Handles {
        png_struct_def* png = nullptr;
        png_info_def* info = nullptr;
        ~Handles();
    };

    InputFile& _input;
    Handles _handles;
    int _width = 0;
    int _height = 0;
    bool _has_alpha = false;
    IccProfile _profile;
    int _bit_depth = 8;
    int _orientation = 1;
    int _frame_count = 1;
    char _message[256] = {};
};

// True when the file starts with the PNG signature; false for a missing or short file.
bool looks_like_png(const std::string& path);

// The whole picture at once; throws ToolError(kExitInput) for a missing, unreadable, damaged or
// oversized file.
PngPicture read_png(const std::string& path);

// Writes RGBA8 (or RGB8 when with_alpha is false) to an open stream, labelled with `profile` when
// it has bytes and as sRGB otherwise; throws ToolError(kExitOutput) naming `display_name` when
// libpng or the stream fails.
void write_png(std::FILE* file, const RgbaImage& image, bool with_alpha, const std::string& display_name,
               const IccProfile* profile = nullptr);

// Whether libpng writes `profile` into an RGB picture as it is: false for a profile it refuses
// (a grey or CMYK one, a damaged header, one it knows to be an incorrect sRGB profile).
bool png_can_carry(const IccProfile& profile);

class OutputFile;

// Writes the picture into the output's file (commit it afterwards); throws ToolError(kExitOutput).
void write_png_to(const OutputFile& output, const RgbaImage& image, bool with_alpha,
                  const IccProfile* profile = nullptr);

// Writes the picture to `path` through an OutputFile, so a failure leaves nothing behind;
// throws ToolError(kExitOutput).
void save_png(const std::string& path, const RgbaImage& image, bool with_alpha);

} // namespace velmo_upscale
