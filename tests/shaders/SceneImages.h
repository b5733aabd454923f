// Synthetic input frames for the shader tests: each exercises a different part of the passes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/PlayerGLTest.h"

namespace velmo_test {

struct Scene {
    std::string name;
    RgbaImage image;
};

// The upscaling pass's inputs: noise, flat regions, step edges at several angles, thin lines,
// skin-tone patches with texture, a gentle gradient, and edges that run along the borders.
std::vector<Scene> upscale_scenes(int width, int height);

// Uniform noise whose channels stay within [low, high]: low-contrast inputs put many edge votes near
// the thresholds.
RgbaImage low_contrast_noise(int width, int height, int low, int high, uint32_t seed);

// A skin tone (its BT.601 chroma inside the skin box), and a colour clearly outside the box.
constexpr uint8_t kSkinTone[3] = {224, 172, 140};
constexpr uint8_t kNotSkin[3] = {40, 90, 200};

} // namespace velmo_test
