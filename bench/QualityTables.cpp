// Means and per-photograph cells, printed as Markdown to standard output.
#include "QualityTables.h"

#include <cstdio>
#include <string>

namespace velmo_bench {

const Metric kButteraugli3Norm = {"butteraugli 3-norm", &Figures::butteraugli_3norm, "%.3f", true};
const Metric kSsimulacra = {"SSIMULACRA", &Figures::ssimulacra, "%.4f", true};
const Metric kPsnrLuma = {"PSNR Y (dB)", &Figures::psnr_luma, "%.2f", false};

namespace {

double mean(const std::vector<Figures>& figures, double Figures::*field)
{
    double sum = 0;
    for (const Figures& f : figures)
        sum += f.*field;
    return figures.empty() ? 0 : sum / static_cast<double>(figures.size());
}

std::string cell_text(const Metric& metric, const Figures& figures)
{
    char cell[32];
    std::snprintf(cell, sizeof cell, metric.format, figures.*metric.field);
    return cell;
}

} // namespace

void print_mean_table(const ScaleResults& results)
{
    std::printf("%s, mean over %zu photographs%s%s\n\n", results.factor.c_str(),
                results.figures.begin()->second.size(), results.note.empty() ? "" : "; ", results.note.c_str());
    std::printf("| method | sharpness | butteraugli 3-norm | butteraugli max | SSIMULACRA | PSNR Y (dB) | "
                "PSNR RGB (dB) | SSIM Y |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const std::string& method : results.methods) {
        const std::vector<Figures>& f = results.figures.at(method);
        std::printf("| %s | %.0f %% | %.3f | %.2f | %.4f | %.2f | %.2f | %.4f |\n", method.c_str(),
                    mean(f, &Figures::sharpness), mean(f, &Figures::butteraugli_3norm),
                    mean(f, &Figures::butteraugli_max), mean(f, &Figures::ssimulacra), mean(f, &Figures::psnr_luma),
                    mean(f, &Figures::psnr_rgb), mean(f, &Figures::ssim_luma));
    }
    std::printf("\n");
}

void print_per_photo_table(const ScaleResults& results, const Metric& metric, const std::vector<std::string>& photos)
{
    const std::vector<std::string>& methods = results.per_photo_methods;
    std::printf("%s per photograph, %s (%s is better; the best of each row in bold):\n\n| photograph |",
                results.factor.c_str(), metric.name, metric.lower_is_better ? "lower" : "higher");
    for (const std::string& method : methods)
        std::printf(" %s |", method.c_str());
    std::printf("\n|---|");
    for (size_t m = 0; m < methods.size(); ++m)
        std::printf("---:|");
    std::printf("\n");
    for (size_t p = 0; p < photos.size(); ++p) {
        size_t best = 0;
        for (size_t m = 1; m < methods.size(); ++m) {
            double value = results.figures.at(methods[m])[p].*metric.field;
            double best_value = results.figures.at(methods[best])[p].*metric.field;
            if (metric.lower_is_better ? value < best_value : value > best_value)
                best = m;
        }
        // Every cell that prints as the best one does is bold, so ties show as ties.
        std::string best_cell = cell_text(metric, results.figures.at(methods[best])[p]);
        std::printf("| %s |", photos[p].c_str());
        for (const std::string& method : methods) {
            std::string cell = cell_text(metric, results.figures.at(method)[p]);
            std::printf(cell == best_cell ? " **%s** |" : " %s |", cell.c_str());
        }
        std::printf("\n");
    }
    std::printf("\n");
}

} // namespace velmo_bench
