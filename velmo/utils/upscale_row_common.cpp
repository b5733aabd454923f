// The portable per-pixel stage of the CPU upscaling pass: edge vote, twelve-tap reconstruction,
// unsharp-mask sharpening. The SIMD version repeats every float operation in the same order (and
// neither is compiled with contraction into fused multiply-adds), so both give the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "velmo/utils/upscale_constants.h"
#include "velmo/utils/upscale_rows.h"

namespace kx_velmo {

namespace {

inline float clamp(float v, float low, float high) { return std::min(std::max(v, low), high); }

// (x - 1)(x - 4)^3 for one tap at offset (dx, dy) from the pixel, stretched along the edge.
struct TapSums {
    float luma = 0.0f;
    float weight = 0.0f;

    void add(float dx, float dy, float v, float contrast, float dir_x, float dir_y)
    {
        const float t = dx * dir_y + dy * dir_x;
        const float shape = kKernelShape * clamp(v * v * contrast, 0.0f, 1.0f) - 1.0f;
        const float x = (dx * dx + dy * dy) + (t * t) * shape;
        const float p = x - 4.0f;
        const float q = x * p - p;
        const float w = q * (p * p);
        luma += w * v;
        weight += w;
    }
};

// The luma correction for a pixel whose edge vote passed: the twelve green taps around it (k is
// the index of texel column px in the green rows), centred on the inner quad's mean.
float luma_correction(const UpscaleRowArgs& row, int k, float fx, float fy, float centre_green)
{
    const float* g0 = row.green[0];
    const float* g1 = row.green[1];
    const float* g2 = row.green[2];
    const float* g3 = row.green[3];
    const float mean = (((g2[k] + g1[k]) + g2[k + 1]) + g1[k + 1]) * 0.25f;
    const float ux = g0[k] - mean, uy = g0[k + 1] - mean, uz = g3[k + 1] - mean, uw = g3[k] - mean;
    const float lx = g2[k - 1] - mean, ly = g2[k] - mean, lz = g1[k] - mean, lw = g1[k - 1] - mean;
    const float rx = g2[k + 1] - mean, ry = g2[k + 2] - mean, rz = g1[k + 2] - mean, rw = g1[k + 1] - mean;
    const float centre = centre_green - mean;

    const float spread = (((std::fabs(lx) + std::fabs(ly)) + std::fabs(lz)) + std::fabs(lw)) +
                         (((std::fabs(rx) + std::fabs(ry)) + std::fabs(rz)) + std::fabs(rw)) +
                         (((std::fabs(ux) + std::fabs(uy)) + std::fabs(uz)) + std::fabs(uw));
    const float norm = spread > 0.0f ? kContrastNumerator / spread : 0.0f;
    const float contrast = norm * norm;

    const float a = rx - lz;
    const float b = rw - ly;
    const float dx = a + b;
    const float dy = a - b;
    const float length = std::sqrt((dx * dx + kSmallEpsilon) + dy * dy);
    const float dir_x = dx / length;
    const float dir_y = dy / length;

    TapSums sums;
    sums.add(fx, fy + 1.0f, ux, contrast, dir_x, dir_y);
    sums.add(fx - 1.0f, fy + 1.0f, uy, contrast, dir_x, dir_y);
    sums.add(fx - 1.0f, fy - 2.0f, uz, contrast, dir_x, dir_y);
    sums.add(fx, fy - 2.0f, uw, contrast, dir_x, dir_y);
    sums.add(fx + 1.0f, fy - 1.0f, lx, contrast, dir_x, dir_y);
    sums.add(fx, fy - 1.0f, ly, contrast, dir_x, dir_y);
    sums.add(fx, fy, lz, contrast, dir_x, dir_y);
    sums.add(fx + 1.0f, fy, lw, contrast, dir_x, dir_y);
    sums.add(fx - 1.0f, fy - 1.0f, rx, contrast, dir_x, dir_y);
    sums.add(fx - 2.0f, fy - 1.0f, ry, contrast, dir_x, dir_y);
    sums.add(fx - 2.0f, fy, rz, contrast, dir_x, dir_y);
    sums.add(fx - 1.0f, fy, rw, contrast, dir_x, dir_y);

    const float low = std::min(std::min(ly, lz), std::min(rx, rw));
    const float high = std::max(std::max(ly, lz), std::max(rx, rw));
    const float y = sums.weight != 0.0f ? sums.luma / sums.weight : 0.0f;
    const float reconstructed = clamp(kEdgeSharpness * y, low, high);
    return clamp(reconstructed - centre, -kDeltaYClamp, kDeltaYClamp);
}

bool skin_tone(float r, float g, float b)
{
    const float cr = ((0.5f * r - 0.4187f * g) - 0.0813f * b) + kChromaOffset;
    const float cb = ((-0.168f * r - 0.3313f * g) + 0.5f * b) + kChromaOffset;
    return cr >= kCrLow && cr <= kCrHigh && cb >= kCbLow && cb <= kCbHigh;
}

} // namespace

void SR_UpscaleRow_C(const UpscaleRowArgs& row, const UpscaleShape& shape, int x_begin, int x_end)
{
    for (int x = x_begin; x < x_end; ++x) {
        const std::uint8_t* centre = row.centre + 4 * x;
        const int k = row.grid_x[x] + 2;
        const int green = centre[1];
        const int gy = static_cast<int>(row.green[2][k]);
        const int gz = static_cast<int>(row.green[1][k]);
        const int vote = std::abs(gz - gy) + std::abs(green - gy) + std::abs(green - gz);

        float colour[3] = {static_cast<float>(centre[0]), static_cast<float>(centre[1]), static_cast<float>(centre[2])};
        if (vote > kRefineVote) {
            const float delta = luma_correction(row, k, row.frac_x[x], row.frac_y, colour[1]);
            for (float& c : colour)
                c = clamp(c + delta, 0.0f, 255.0f);
        }

        float weight = 1.0f;
        if (shape.edge_adaptive) {
            if (vote > kStrongEdgeVote)
                weight = shape.strong_edge_weight;
            if (shape.face_protection && skin_tone(colour[0], colour[1], colour[2]))
                weight = 0.0f;
        }
        const float gain = shape.sharpness * weight;

        std::uint8_t* out = row.dst + 4 * x;
        const std::uint8_t* left = centre - 4;
        const std::uint8_t* right = centre + 4;
        const std::uint8_t* above = row.above + 4 * x;
        const std::uint8_t* below = row.below + 4 * x;
        for (int c = 0; c < 3; ++c) {
            const int blur_sum = left[c] + centre[c] + right[c] + above[c] + below[c];
            const float blur = static_cast<float>(blur_sum) * kBlurWeight;
            const float sharpened = colour[c] + gain * (colour[c] - blur);
            out[c] = static_cast<std::uint8_t>(std::nearbyint(clamp(sharpened, 0.0f, 255.0f)));
        }
        out[3] = 255;
    }
}

} // namespace kx_velmo
