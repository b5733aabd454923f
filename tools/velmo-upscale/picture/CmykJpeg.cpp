// CMYK JPEG decoding with libjpeg; its errors jump back instead of ending the program.
#include "CmykJpeg.h"

#include <csetjmp>
#include <cstdio>
#include <utility>

#include <jpeglib.h>

namespace velmo_upscale {
namespace {

// Pictures beyond this are no pictures the tool takes.
constexpr JDIMENSION kMaxSide = 16384;

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jump_back(j_common_ptr decoder)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(decoder->err)->jump, 1);
}

void stay_quiet(j_common_ptr) {}

// Decodes `bytes`; false on any libjpeg error or a picture that is not CMYK. Kept apart from
// anything with a destructor, which longjmp would skip.
bool decode(const std::vector<uint8_t>& bytes, CmykSamples& samples)
{
    jpeg_decompress_struct decoder;
    ErrorJump error;
    decoder.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jump_back;
    error.manager.output_message = stay_quiet;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&decoder);
        return false;
    }
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&decoder, JPEG_APP0 + 14, 0xFFFF);
    jpeg_read_header(&decoder, TRUE);
    bool cmyk = (decoder.jpeg_color_space == JCS_CMYK || decoder.jpeg_color_space == JCS_YCCK) &&
                decoder.image_width <= kMaxSide && decoder.image_height <= kMaxSide;
    if (cmyk) {
        decoder.out_color_space = JCS_CMYK;
        jpeg_start_decompress(&decoder);
        samples.width = static_cast<int>(decoder.output_width);
        samples.height = static_cast<int>(decoder.output_height);
        samples.inverted = decoder.saw_Adobe_marker;
        samples.values.resize(size_t{decoder.output_width} * decoder.output_height * 4);
        while (decoder.output_scanline < decoder.output_height) {
            JSAMPROW row = samples.values.data() + size_t{decoder.output_scanline} * decoder.output_width * 4;
            jpeg_read_scanlines(&decoder, &row, 1);
        }
        jpeg_finish_decompress(&decoder);
    }
    jpeg_destroy_decompress(&decoder);
    return cmyk;
}

} // namespace

bool read_cmyk_jpeg(InputFile& input, CmykSamples& samples)
{
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    while (size_t count = input.read(buffer, sizeof buffer))
        bytes.insert(bytes.end(), buffer, buffer + count);
    CmykSamples decoded;
    if (!decode(bytes, decoded))
        return false;
    samples = std::move(decoded);
    return true;
}

} // namespace velmo_upscale
