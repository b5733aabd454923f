// UpscaleReference: the edge-adaptive upscaling pass computed on the CPU, step for step as the
// fragment program does it, over a texture sampled the way llvmpipe samples it.
#pragma once

#include <array>
#include <vector>

#include "shaders/FixedPointTexture.h"
#include "support/PlayerGLTest.h"

namespace velmo_test {

// The pass's switches, as the uniforms of the same names.
struct UpscaleSettings {
    int enable_edge_adaptive = 1;
    int enable_bilateral_filter = 0;
    int enable_face_protection = 0;
    float usm_sharpness = 1.5f;
};

// Decisions that sit exactly on a boundary, where the driver may go either way: the interpolated
// pixel position lands on a grid line (output pixels on texel centres, e.g. at scale 1) and rounds
// by an ulp to either side; the edge vote (always a whole number of 1/255 steps) equals one of the
// thresholds, which mediump (16-bit floats on llvmpipe) may round either way; the skin box bounds.
enum UpscaleTie : unsigned {
    kTieGridX = 1u << 0,      // other side: the grid column below, fraction 1
    kTieGridY = 1u << 1,      // other side: the grid row below, fraction 1
    kTieEdge = 1u << 2,       // other side: a vote of exactly 4/255 refines
    kTieStrongEdge = 1u << 3, // other side: a vote of exactly 16/255 lowers the sharpening weight
    kTieSkin = 1u << 4,       // other side: a colour on the skin box's border flips in or out
    kTieAll = (1u << 5) - 1,
};

// What one output pixel went through; the threshold tests read the intermediate values.
struct UpscalePixel {
    std::array<float, 3> bilinear{}; // step 2: the base colour K
    std::array<float, 3> refined{};  // K after step 11 (equal to `bilinear` when not refined)
    std::array<float, 3> colour{};   // out_Target0.rgb, before the target clamps and rounds it
    int grid_x = 0, grid_y = 0;      // step 3: (px, py)
    std::array<float, 12> taps{};    // step 6: the twelve green taps in table order, before centring
    int edge_vote_255 = 0;           // the edge vote in 1/255 steps (exact: all its terms are 8-bit)
    float edge_vote = 0.0f;
    bool refined_by_edge = false;    // the reconstruction of steps 6 to 11 ran
    float delta_y = 0.0f;            // luma correction added to r, g and b (0 when not refined)
    float usm_weight = 1.0f;         // sharpening weight a of step 12
    unsigned ties = 0;               // UpscaleTie bits of the decisions that sat on a boundary
};

// The skin box of the face protection: cr from 133/255 to 173/255 and cb from 77/255 to 127/255,
// bounds included.
constexpr float kSkinBoxBounds[4] = {133.0f / 255.0f, 173.0f / 255.0f, 77.0f / 255.0f, 127.0f / 255.0f};
bool skin_box_contains(float cr, float cb);

class UpscaleReference {
public:
    // The pass drawn over an output_width x output_height target from `input`, with the uniforms the
    // frame pipeline sets: ViewportInfo from the input size, blur steps of one output pixel.
    UpscaleReference(const RgbaImage& input, int output_width, int output_height, const UpscaleSettings& settings);

    // One pixel, each tie resolved the strict way unless its bit is set in `other_side`.
    UpscalePixel pixel(int x, int y, unsigned other_side = 0) const;

    // Every pixel the strict way, converted as an RGBA8 target stores it; alpha is 1.0.
    RgbaImage image() const;

    // The expected image for a driver's output `actual`: where a pixel has ties, the candidate (over
    // both sides of each tie) closest to the actual pixel; elsewhere the single result.
    RgbaImage closest_to(const RgbaImage& actual) const;

    // Share of pixels with at least one tie.
    double tie_fraction() const;

private:
    std::vector<std::array<uint8_t, 3>> candidates(int x, int y) const;

    FixedPointTexture _ps0;
    int _output_width;
    int _output_height;
    UpscaleSettings _settings;
};

// An RGBA8 target's conversion of one colour component: clamp to [0, 1], scale, round.
uint8_t to_unorm8(float value);

} // namespace velmo_test
