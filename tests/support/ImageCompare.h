// Compares a read-back image with a CPU reference under a tolerance stated at the call; on failure
// it reports max and mean error per channel and writes actual, expected and difference PNGs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/PlayerGLTest.h"

namespace velmo_test {

struct ImageTolerance {
    // A pixel passes when each compared channel differs by at most this many 1/255 steps.
    int within = 0;
    // Share of pixels that must pass.
    double pass_fraction = 1.0;
    // Upper bound of the mean absolute error per channel, in 1/255 steps.
    double mean = 0.0;
    bool compare_alpha = true;

    static ImageTolerance exact() { return {}; }
};

// Failure artefacts go to <name>_{actual,expected,diff}.png in failed_images_folder().
::testing::AssertionResult images_match(const std::string& name, const RgbaImage& actual, const RgbaImage& expected,
                                        const ImageTolerance& tolerance);

// The build folder's failed-images/, whatever the working directory: never the source tree.
std::string failed_images_folder();

} // namespace velmo_test
