// Constants of the upscaling pass, on the CPU's scale: colours and luma in 0..255 rather than 0..1.
#pragma once

namespace kx_velmo {

// The edge vote is a sum of differences of 8-bit greens, a whole number of steps: above 4 the
// twelve-tap reconstruction runs, above 16 the sharpening is lowered.
constexpr int kRefineVote = 4;
constexpr int kStrongEdgeVote = 16;
constexpr float kEdgeSharpness = 2.0f;
constexpr float kDeltaYClamp = 23.0f;
// 3.075740e-05 under the square root on the 0..1 scale is 2.0 on the 0..255 scale.
constexpr float kSmallEpsilon = 2.0f;
constexpr float kContrastNumerator = 10.14185f;
constexpr float kKernelShape = 0.7f;
constexpr float kBlurWeight = 0.2f;
// The skin box: cr in [133, 173] and cb in [77, 127], bounds included.
constexpr float kCrLow = 133.0f, kCrHigh = 173.0f, kCbLow = 77.0f, kCbHigh = 127.0f;
constexpr float kChromaOffset = 127.5f;

} // namespace kx_velmo
