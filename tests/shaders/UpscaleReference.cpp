// CPU reference of the upscaling pass; the numbered steps match the fragment program's.
#include "shaders/UpscaleReference.h"

#include <algorithm>
#include <cmath>

namespace velmo_test {

namespace {

constexpr float kEdgeThreshold = 4.0f / 255.0f;
constexpr float kEdgeThreshold4x = 16.0f / 255.0f;
constexpr float kEdgeSharpness = 2.0f;
constexpr float kDeltaYClamp = 23.0f / 255.0f;
constexpr float kSmallEpsilon = 3.075740e-05f;
constexpr int kMode = 1; // green stands in for luma

// (x - 1)(x - 4)^3, in the shader's order of operations; no clamp.
float fast_lanczos2(float x)
{
    float p = x - 4.0f;
    const float q = x * p - p;
    p *= p;
    return q * p;
}

// One tap of step 10: its stretched squared distance, its weight, and the running sums.
struct WeightSums {
    float luma = 0.0f;   // sum of w * v
    float weight = 0.0f; // sum of w

    void add(float dx, float dy, float v, float std_dev, float dir_x, float dir_y)
    {
        const float t = dx * dir_y + dy * dir_x;
        const float x = dx * dx + dy * dy + t * t * (0.7f * std::clamp(v * v * std_dev, 0.0f, 1.0f) - 1.0f);
        const float w = fast_lanczos2(x);
        luma += w * v;
        weight += w;
    }
};

struct Quad {
    float x, y, z, w;
};

Quad to_quad(const std::array<float, 4>& g) { return {g[0], g[1], g[2], g[3]}; }

// Splits a grid position into its integer part and fraction. On a grid line (within far less than
// any pixel step) the driver's interpolated position may fall an ulp below it: fraction 1 of the
// cell below.
void split_grid(float g, bool other_side, unsigned tie_bit, float& cell, float& fraction, unsigned& ties)
{
    const float nearest = std::round(g);
    if (std::fabs(g - nearest) < 1e-4f) {
        ties |= tie_bit;
        cell = other_side ? nearest - 1.0f : nearest;
        fraction = other_side ? 1.0f : 0.0f;
        return;
    }
    cell = std::floor(g);
    fraction = g - cell;
}

// The skin box of step 12 with its bounds inclusive; `near_border` flags colours whose cr or cb lie
// within the rounding of 16-bit arithmetic of a bound.
bool in_skin_box(const float colour[3], bool& near_border)
{
    const float cr = 0.5f * colour[0] - 0.4187f * colour[1] - 0.0813f * colour[2] + 0.5f;
    const float cb = -0.168f * colour[0] - 0.3313f * colour[1] + 0.5f * colour[2] + 0.5f;
    const float values[4] = {cr, cr, cb, cb};
    near_border = false;
    for (int i = 0; i < 4; ++i)
        near_border = near_border || std::fabs(values[i] - kSkinBoxBounds[i]) < 2e-3f;
    return skin_box_contains(cr, cb);
}

float abs_sum(const Quad& q) { return std::fabs(q.x) + std::fabs(q.y) + std::fabs(q.z) + std::fabs(q.w); }

} // namespace

bool skin_box_contains(float cr, float cb)
{
    return cr >= kSkinBoxBounds[0] && cr <= kSkinBoxBounds[1] && cb >= kSkinBoxBounds[2] && cb <= kSkinBoxBounds[3];
}

uint8_t to_unorm8(float value)
{
    return static_cast<uint8_t>(std::lrint(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

UpscaleReference::UpscaleReference(const RgbaImage& input, int output_width, int output_height,
                                   const UpscaleSettings& settings)
    : _ps0(input), _output_width(output_width), _output_height(output_height), _settings(settings)
{
}

UpscalePixel UpscaleReference::pixel(int x, int y, unsigned other_side) const
{
    // Uniforms and interpolated inputs.
    const float W = static_cast<float>(_ps0.width());
    const float H = static_cast<float>(_ps0.height());
    const float inv_w = static_cast<float>(1.0 / static_cast<double>(W));
    const float inv_h = static_cast<float>(1.0 / static_cast<double>(H));
    const float step_x = static_cast<float>(1.0 / _output_width);
    const float step_y = static_cast<float>(1.0 / _output_height);
    const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(_output_width);
    const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(_output_height);

    UpscalePixel out;

    // 1. Cross blur: centre, left, right, below, above (element 4 repeats the centre and is not read).
    const std::array<float, 2> blur_taps[5] = {{u - step_x, v}, {u, v}, {u + step_x, v}, {u, v - step_y}, {u, v + step_y}};
    float blur[3] = {0.0f, 0.0f, 0.0f};
    for (const auto& tap : blur_taps) {
        const auto t = _ps0.sample(tap[0], tap[1]);
        for (int c = 0; c < 3; ++c)
            blur[c] += t[c] * 0.2f;
    }

    // 2. Base colour: the bilinear sample at the pixel.
    const auto base_255 = _ps0.sample_unorm8(u, v);
    const auto base = _ps0.sample(u, v);
    float colour[3] = {base[0], base[1], base[2]};
    out.bilinear = {colour[0], colour[1], colour[2]};

    // 3. Grid position; the vertical term is +0.5.
    const float gx = u * W - 0.5f;
    const float gy = v * H + 0.5f;
    float px, py, fx, fy;
    split_grid(gx, other_side & kTieGridX, kTieGridX, px, fx, out.ties);
    split_grid(gy, other_side & kTieGridY, kTieGridY, py, fy, out.ties);
    const float coord_x = px * inv_w, coord_y = py * inv_h;
    out.grid_x = static_cast<int>(px);
    out.grid_y = static_cast<int>(py);

    // 4. First quad: x = G(px-1, py), y = G(px, py), z = G(px, py-1), w = G(px-1, py-1).
    Quad left = to_quad(_ps0.gather(coord_x, coord_y, kMode));

    // 5. Edge vote, strictly above the threshold to refine. Its terms are differences of 8-bit
    //    values, so the vote is a whole number of 1/255 steps and a tie is exact.
    const float luma = colour[kMode];
    const float edge_vote = std::fabs(left.z - left.y) + std::fabs(luma - left.y) + std::fabs(luma - left.z);
    const auto left_255 = _ps0.gather_unorm8(coord_x, coord_y, kMode);
    const int luma_255 = base_255[kMode];
    out.edge_vote = edge_vote;
    out.edge_vote_255 =
        std::abs(left_255[2] - left_255[1]) + std::abs(luma_255 - left_255[1]) + std::abs(luma_255 - left_255[2]);
    bool refine = edge_vote > kEdgeThreshold;
    if (out.edge_vote_255 == 4) {
        out.ties |= kTieEdge;
        refine = (other_side & kTieEdge) != 0;
    }
    if (refine) {
        out.refined_by_edge = true;

        // 6. The other taps: right quad, and the two texels of the quads above and below that lie
        //    in columns px and px + 1.
        const float next_x = coord_x + inv_w;
        Quad right = to_quad(_ps0.gather(next_x + inv_w, coord_y, kMode));
        const Quad above_row = to_quad(_ps0.gather(next_x, coord_y - inv_h, kMode));
        const Quad below_row = to_quad(_ps0.gather(next_x, coord_y + inv_h, kMode));
        Quad up_down = {above_row.w, above_row.z, below_row.y, below_row.x};
        out.taps = {up_down.x, up_down.y, up_down.z, up_down.w, left.x, left.y,
                    left.z,    left.w,    right.x,   right.y,   right.z, right.w};

        // 7. Centre every tap on the mean of the inner quad.
        const float mean = (left.y + left.z + right.x + right.w) * 0.25f;
        for (Quad* q : {&left, &right, &up_down}) {
            q->x -= mean;
            q->y -= mean;
            q->z -= mean;
            q->w -= mean;
        }
        const float centre_offset = luma - mean;

        // 8. Contrast normaliser.
        const float sum = abs_sum(left) + abs_sum(right) + abs_sum(up_down);
        const float sum_mean = 1.014185e+01f / sum;
        const float std_dev = sum_mean * sum_mean;

        // 9. Edge direction from the centred inner quad.
        const float a = right.x - left.z;
        const float b = right.w - left.y;
        float dir_x = a + b, dir_y = a - b;
        const float length = std::sqrt(dir_x * dir_x + kSmallEpsilon + dir_y * dir_y);
        dir_x /= length;
        dir_y /= length;

        // 10. The twelve taps with their offsets (dx, dy) to the output pixel, in table order.
        WeightSums sums;
        sums.add(fx, fy + 1.0f, up_down.x, std_dev, dir_x, dir_y);
        sums.add(fx - 1.0f, fy + 1.0f, up_down.y, std_dev, dir_x, dir_y);
        sums.add(fx - 1.0f, fy - 2.0f, up_down.z, std_dev, dir_x, dir_y);
        sums.add(fx, fy - 2.0f, up_down.w, std_dev, dir_x, dir_y);
        sums.add(fx + 1.0f, fy - 1.0f, left.x, std_dev, dir_x, dir_y);
        sums.add(fx, fy - 1.0f, left.y, std_dev, dir_x, dir_y);
        sums.add(fx, fy, left.z, std_dev, dir_x, dir_y);
        sums.add(fx + 1.0f, fy, left.w, std_dev, dir_x, dir_y);
        sums.add(fx - 1.0f, fy - 1.0f, right.x, std_dev, dir_x, dir_y);
        sums.add(fx - 2.0f, fy - 1.0f, right.y, std_dev, dir_x, dir_y);
        sums.add(fx - 2.0f, fy, right.z, std_dev, dir_x, dir_y);
        sums.add(fx - 1.0f, fy, right.w, std_dev, dir_x, dir_y);

        // 11. Luma correction, clamped to the inner quad and to +-23/255, added to r, g and b.
        const float max_y = std::max(std::max(left.y, left.z), std::max(right.x, right.w));
        const float min_y = std::min(std::min(left.y, left.z), std::min(right.x, right.w));
        const float final_y = std::clamp(kEdgeSharpness * (sums.luma / sums.weight), min_y, max_y);
        const float delta_y = std::clamp(final_y - centre_offset, -kDeltaYClamp, kDeltaYClamp);
        out.delta_y = delta_y;
        for (float& c : colour)
            c = std::clamp(c + delta_y, 0.0f, 1.0f);
    }
    out.refined = {colour[0], colour[1], colour[2]};

    // 12. Unsharp mask against the blur, weakened on strong edges, off on skin tones.
    float usm_weight = 1.0f;
    if (_settings.enable_edge_adaptive == 1) {
        bool strong_edge = edge_vote > kEdgeThreshold4x;
        if (out.edge_vote_255 == 16) {
            out.ties |= kTieStrongEdge;
            strong_edge = (other_side & kTieStrongEdge) != 0;
        }
        if (strong_edge)
            usm_weight = _settings.enable_bilateral_filter == 1 ? 0.5f : 0.2f;
        if (_settings.enable_face_protection == 1) {
            bool near_border = false;
            bool skin = in_skin_box(colour, near_border);
            if (near_border) {
                out.ties |= kTieSkin;
                skin = skin != ((other_side & kTieSkin) != 0);
            }
            if (skin)
                usm_weight = 0.0f;
        }
    }
    out.usm_weight = usm_weight;
    for (int c = 0; c < 3; ++c)
        out.colour[c] = colour[c] + _settings.usm_sharpness * (colour[c] - blur[c]) * usm_weight;
    return out;
}

std::vector<std::array<uint8_t, 3>> UpscaleReference::candidates(int x, int y) const
{
    const auto to_rgb8 = [](const UpscalePixel& p) {
        return std::array<uint8_t, 3>{to_unorm8(p.colour[0]), to_unorm8(p.colour[1]), to_unorm8(p.colour[2])};
    };
    const UpscalePixel strict = pixel(x, y);
    std::vector<std::array<uint8_t, 3>> result{to_rgb8(strict)};
    if (strict.ties == 0)
        return result;
    // Which boundaries a pixel meets can depend on the side taken at another (a refined colour may
    // reach the skin box), so every combination is tried.
    for (unsigned side = 1; side <= kTieAll; ++side) {
        const UpscalePixel p = pixel(x, y, side);
        if ((side & ~p.ties) == 0)
            result.push_back(to_rgb8(p));
    }
    return result;
}

RgbaImage UpscaleReference::closest_to(const RgbaImage& actual) const
{
    RgbaImage result(_output_width, _output_height);
    for (int y = 0; y < _output_height; ++y) {
        for (int x = 0; x < _output_width; ++x) {
            const uint8_t* a = actual.at(x, y);
            int best_error = 256;
            uint8_t* out = result.at(x, y);
            for (const auto& c : candidates(x, y)) {
                const int error = std::max({std::abs(a[0] - c[0]), std::abs(a[1] - c[1]), std::abs(a[2] - c[2])});
                if (error < best_error) {
                    best_error = error;
                    out[0] = c[0];
                    out[1] = c[1];
                    out[2] = c[2];
                }
            }
            out[3] = 255;
        }
    }
    return result;
}

double UpscaleReference::tie_fraction() const
{
    long tied = 0;
    for (int y = 0; y < _output_height; ++y)
        for (int x = 0; x < _output_width; ++x)
            tied += pixel(x, y).ties != 0;
    return static_cast<double>(tied) / (static_cast<double>(_output_width) * _output_height);
}

RgbaImage UpscaleReference::image() const
{
    RgbaImage result(_output_width, _output_height);
    for (int y = 0; y < _output_height; ++y) {
        for (int x = 0; x < _output_width; ++x) {
            const UpscalePixel p = pixel(x, y);
            uint8_t* out = result.at(x, y);
            for (int c = 0; c < 3; ++c)
                out[c] = to_unorm8(p.colour[c]);
            out[3] = 255;
        }
    }
    return result;
}

} // namespace velmo_test
