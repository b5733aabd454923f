// Image comparison with per-channel statistics and PNG artefacts on failure.
#include "support/ImageCompare.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "support/PngFile.h"

namespace velmo_test {

namespace {

void write_artefacts(const std::string& name, const RgbaImage& actual, const RgbaImage& expected)
{
    const std::string folder = failed_images_folder();
    mkdir(folder.c_str(), 0755);
    write_png(folder + "/" + name + "_actual.png", actual);
    write_png(folder + "/" + name + "_expected.png", expected);
    RgbaImage diff(actual.width, actual.height);
    for (size_t i = 0; i < diff.pixels.size(); i += 4) {
        for (int c = 0; c < 3; ++c) {
            int error = std::abs(actual.pixels[i + c] - expected.pixels[i + c]);
            diff.pixels[i + c] = static_cast<uint8_t>(std::min(255, error * 16));
        }
        diff.pixels[i + 3] = 255;
    }
    write_png(folder + "/" + name + "_diff.png", diff);
}

} // namespace

std::string failed_images_folder()
{
    return VELMO_FAILED_IMAGES_DIR;
}

::testing::AssertionResult images_match(const std::string& name, const RgbaImage& actual, const RgbaImage& expected,
                                        const ImageTolerance& tolerance)
{
    if (actual.width != expected.width || actual.height != expected.height) {
        return ::testing::AssertionFailure() << name << ": size " << actual.width << "x" << actual.height
                                             << " differs from expected " << expected.width << "x" << expected.height;
    }
    const int channels = tolerance.compare_alpha ? 4 : 3;
    const size_t pixel_count = static_cast<size_t>(actual.width) * actual.height;
    int max_error[4] = {};
    double sum_error[4] = {};
    size_t failing = 0;
    int first_x = -1, first_y = -1;
    for (size_t p = 0; p < pixel_count; ++p) {
        bool pixel_ok = true;
        for (int c = 0; c < channels; ++c) {
            int error = std::abs(actual.pixels[p * 4 + c] - expected.pixels[p * 4 + c]);
            max_error[c] = std::max(max_error[c], error);
            sum_error[c] += error;
            if (error > tolerance.within)
                pixel_ok = false;
        }
        if (!pixel_ok) {
            if (failing == 0) {
                first_x = static_cast<int>(p % actual.width);
                first_y = static_cast<int>(p / actual.width);
            }
            ++failing;
        }
    }

    double mean_error[4] = {};
    bool mean_ok = true;
    for (int c = 0; c < channels; ++c) {
        mean_error[c] = pixel_count ? sum_error[c] / pixel_count : 0.0;
        if (mean_error[c] > tolerance.mean)
            mean_ok = false;
    }
    const double passing_fraction = pixel_count ? 1.0 - static_cast<double>(failing) / pixel_count : 1.0;
    if (passing_fraction >= tolerance.pass_fraction && mean_ok)
        return ::testing::AssertionSuccess();

    std::ostringstream report;
    report << name << ": " << failing << " of " << pixel_count << " pixels differ by more than " << tolerance.within
           << "/255 (allowed share " << (1.0 - tolerance.pass_fraction) << ")";
    if (failing) {
        const uint8_t* a = actual.at(first_x, first_y);
        const uint8_t* e = expected.at(first_x, first_y);
        report << "; first at (" << first_x << "," << first_y << ") actual " << int(a[0]) << "," << int(a[1]) << ","
               << int(a[2]) << "," << int(a[3]) << " expected " << int(e[0]) << "," << int(e[1]) << "," << int(e[2])
               << "," << int(e[3]);
    }
    report << "\n  max error per channel:";
    for (int c = 0; c < channels; ++c)
        report << " " << max_error[c];
    report << "\n  mean error per channel:";
    for (int c = 0; c < channels; ++c)
        report << " " << mean_error[c];
    report << " (allowed " << tolerance.mean << ")\n  images written to " << failed_images_folder() << "/" << name << "_*.png";
    write_artefacts(name, actual, expected);
    return ::testing::AssertionFailure() << report.str();
}

} // namespace velmo_test
