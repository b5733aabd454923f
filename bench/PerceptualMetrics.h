// Perceptual distances of an upscaled picture from its original: butteraugli and SSIMULACRA, by
// the command-line tools of libjxl (Debian's libjxl-devtools: butteraugli_main, ssimulacra_main).
#pragma once

#include <string>

#include "RgbaImage.h"

namespace velmo_bench {

struct PerceptualScores {
    double butteraugli_max = 0;   // the worst spot; about 1 is where a difference becomes visible
    double butteraugli_3norm = 0; // the 3-norm over the picture's distance map
    double ssimulacra = 0;        // 0 for identical pictures; lower is better
};

// Keeps the original and each test picture as sRGB PNGs in a temporary folder of its own, which
// it removes when destroyed, and runs the tools on them.
class PerceptualScorer {
public:
    // Throws std::runtime_error when no temporary folder can be made.
    PerceptualScorer();
    ~PerceptualScorer();
    PerceptualScorer(const PerceptualScorer&) = delete;
    PerceptualScorer& operator=(const PerceptualScorer&) = delete;

    // The picture the following scores measure against.
    void set_original(const velmo_upscale::RgbaImage& original);
    // Throws std::runtime_error, with the tool's own output, when a tool is missing, fails or
    // prints no figure, or when the sizes differ.
    PerceptualScores score(const velmo_upscale::RgbaImage& test);

private:
    std::string _folder;
    std::string _original_path;
    std::string _test_path;
    int _original_width = 0;
    int _original_height = 0;
};

} // namespace velmo_bench
