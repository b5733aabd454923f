// Display matrix angles and quarter turns of RGBA pictures.
#include "Rotation.h"

extern "C" {
#include <libavutil/display.h>
}

#include <cmath>
#include <cstring>

namespace velmo_upscale {

int clockwise_quarter_turns(const std::vector<uint8_t>& display_matrix)
{
    if (display_matrix.size() < 9 * sizeof(int32_t))
        return 0;
    int32_t matrix[9];
    std::memcpy(matrix, display_matrix.data(), sizeof matrix);
    // FFmpeg states the angle counterclockwise.
    double degrees = -av_display_rotation_get(matrix);
    if (std::isnan(degrees))
        return 0;
    double turns = degrees / 90.0;
    double whole = std::round(turns);
    if (std::fabs(turns - whole) * 90.0 > 1.0)
        return 0;
    return ((static_cast<int>(whole) % 4) + 4) % 4;
}

void turn_clockwise(const RgbaImage& image, int quarter_turns, RgbaImage& result)
{
    const int w = image.width;
    const int h = image.height;
    bool sideways = quarter_turns % 2 != 0;
    if (result.width != (sideways ? h : w) || result.height != (sideways ? w : h))
        result = sideways ? RgbaImage(h, w) : RgbaImage(w, h);
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x) {
            const uint8_t* source = quarter_turns == 1   ? image.at(y, h - 1 - x)
                                    : quarter_turns == 2 ? image.at(w - 1 - x, h - 1 - y)
                                    : quarter_turns == 3 ? image.at(w - 1 - y, x)
                                                         : image.at(x, y);
            std::memcpy(result.at(x, y), source, 4);
        }
}

std::string turned_upright_text(OutputKind kind, int degrees)
{
    const char* name = kind == OutputKind::Mkv ? "MKV" : kind == OutputKind::Webm ? "WebM" : kind == OutputKind::Png ? "PNG" : "Y4M";
    return std::string(name) +
           " cannot carry the display rotation: the picture is turned " + std::to_string(degrees) +
           " degrees clockwise instead";
}

} // namespace velmo_upscale
