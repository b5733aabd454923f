// Skin-tone bilateral smoothing on the CPU, computed as the smoothing node's fragment program
// computes it (float arithmetic on colours in 0..1, results rounded to 8 bits).
#include "velmo/utils/skin_smooth.h"

#include <algorithm>
#include <cmath>

namespace kx_velmo {

namespace {

struct Tap {
    int dx;
    int dy;
    int distance;
};

constexpr Tap kTaps[9] = {{-2, -2, 2}, {0, -2, 1}, {2, -2, 2}, {-2, 0, 1}, {0, 0, 0},
                          {2, 0, 1},   {-2, 2, 2}, {0, 2, 1},  {2, 2, 2}};

bool skin_tone(const float c[3])
{
    const float cr = 0.5f * c[0] - 0.4187f * c[1] - 0.0813f * c[2] + 0.5f;
    const float cb = -0.168f * c[0] - 0.3313f * c[1] + 0.5f * c[2] + 0.5f;
    return cr >= 133.0f / 255.0f && cr <= 173.0f / 255.0f && cb >= 77.0f / 255.0f && cb <= 127.0f / 255.0f;
}

void load(const std::uint8_t* p, float c[3])
{
    for (int i = 0; i < 3; ++i)
        c[i] = static_cast<float>(p[i]) / 255.0f;
}

} // namespace

void SR_SmoothSkinRows_C(const RgbaView& src, int first_row, int rows, float sigma_s, float sigma_r,
                         std::uint8_t* out)
{
    const float k_s = 1.0f / (2.0f * sigma_s * sigma_s);
    const float k_r = 1.0f / (2.0f * sigma_r * sigma_r);
    const float spatial[3] = {std::exp(-0.0f * k_s), std::exp(-1.0f * k_s), std::exp(-2.0f * k_s)};
    for (int y = first_row; y < first_row + rows; ++y) {
        const std::uint8_t* rows_at[3] = {src.row(std::max(y - 2, 0)), src.row(y), src.row(std::min(y + 2, src.height - 1))};
        for (int x = 0; x < src.width; ++x) {
            const std::uint8_t* pixel = rows_at[1] + 4 * x;
            std::copy(pixel, pixel + 4, out);
            float c0[3];
            load(pixel, c0);
            if (skin_tone(c0)) {
                float sum[3] = {0.0f, 0.0f, 0.0f};
                float weight_sum = 0.0f;
                for (const Tap& tap : kTaps) {
                    const int tx = std::clamp(x + tap.dx, 0, src.width - 1);
                    float c[3];
                    load(rows_at[tap.dy / 2 + 1] + 4 * tx, c);
                    float d = 0.0f;
                    for (int i = 0; i < 3; ++i)
                        d += (c0[i] - c[i]) * (c0[i] - c[i]);
                    // exp(-0) is 1: taps of the same colour (the centre always) need no exp.
                    const float w = spatial[tap.distance] * (d == 0.0f ? 1.0f : std::exp(-d * k_r));
                    for (int i = 0; i < 3; ++i)
                        sum[i] += c[i] * w;
                    weight_sum += w;
                }
                for (int i = 0; i < 3; ++i) {
                    const float smoothed = sum[i] / weight_sum * 0.5f + c0[i] * 0.5f;
                    out[i] = static_cast<std::uint8_t>(std::nearbyint(std::min(std::max(smoothed, 0.0f), 1.0f) * 255.0f));
                }
            }
            out += 4;
        }
    }
}

} // namespace kx_velmo
