// The quality benchmark's Markdown tables: one of means per scale factor, then per photograph.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace velmo_bench {

// One upscaled picture's figures against its original.
struct Figures {
    double sharpness = 0; // luma gradient RMS, % of the original's
    double butteraugli_3norm = 0;
    double butteraugli_max = 0;
    double ssimulacra = 0;
    double psnr_luma = 0;
    double psnr_rgb = 0;
    double ssim_luma = 0;
};

// Every method's figures at one scale factor, one entry per photograph in the photographs' order.
struct ScaleResults {
    std::string factor;               // "x2"
    std::string note;                 // a sentence on how this factor was run, or empty
    std::vector<std::string> methods; // the table's rows, in order
    std::vector<std::string> per_photo_methods; // the per-photograph tables' columns
    std::map<std::string, std::vector<Figures>> figures;
};

// One column of a per-photograph table.
struct Metric {
    const char* name;          // "butteraugli 3-norm"
    double Figures::*field;
    const char* format;        // "%.2f"
    bool lower_is_better;
};

extern const Metric kButteraugli3Norm;
extern const Metric kSsimulacra;
extern const Metric kPsnrLuma;

// | method | sharpness | butteraugli 3-norm | butteraugli max | SSIMULACRA | PSNR Y | PSNR RGB | SSIM Y |
// with the means over all photographs.
void print_mean_table(const ScaleResults& results);

// Photographs as rows, the per-photograph methods as columns, `metric` in the cells; the best cell
// of each row in bold.
void print_per_photo_table(const ScaleResults& results, const Metric& metric, const std::vector<std::string>& photos);

} // namespace velmo_bench
