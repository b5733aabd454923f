// velmo_quality_bench: shrinks photographs by 2 and by 1.5 with area averaging, scales them back
// with velmo and with libswscale's filters, and prints the mean PSNR and SSIM of each method
// against the originals as a Markdown table; then the same by 4, velmo in two passes as
// velmo-upscale runs them; then a table of a few methods' x2 luma PSNR per photograph. With
// --zoom it also writes magnified crops of the first two photographs' centres: original, Lanczos
// and velmo's default side by side, x2, a row for each.
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "ConfigFolder.h"
#include "Options.h"
#include "PngIo.h"
#include "QualityMetrics.h"
#include "RgbaImage.h"
#include "ScalePlan.h"
#include "UpscalePasses.h"
#include "VelmoLog.h"
#include "VelmoUpscaler.h"
#include "client/EglSession.h"

using namespace velmo_upscale;
using namespace velmo_client;
using velmo_bench::Scores;

namespace {

struct Method {
    std::string name;
    int sws_flags = 0; // libswscale filter; 0 for velmo
    int level = 0;     // velmo's sr_level (0: custom sharpness 0)
    bool smooth = false;
};

std::vector<Method> methods()
{
    std::vector<Method> list = {{"libswscale bilinear", SWS_BILINEAR},
                                {"libswscale bicubic", SWS_BICUBIC},
                                {"libswscale Lanczos", SWS_LANCZOS},
                                {"libswscale spline", SWS_SPLINE}};
    // Levels 1, 2 and 3 sharpen by 2.0, 1.5 (velmo's default) and 1.0.
    const char* names[] = {"velmo sharpness 0", "velmo level 1 (sharpness 2)", "velmo level 2 (sharpness 1.5)",
                           "velmo level 3 (sharpness 1)"};
    for (bool smooth : {false, true})
        for (int level : {1, 2, 3, 0})
            list.push_back({std::string(names[level]) + (smooth ? " + smoothing" : ""), 0, level, smooth});
    return list;
}

// Scales each colour channel on its own as a grey picture, so that libswscale converts no
// colours and only its filter shapes the result; alpha comes out opaque.
RgbaImage sws_scale_rgb(const RgbaImage& source, int width, int height, int flags)
{
    std::unique_ptr<SwsContext, void (*)(SwsContext*)> context(
        sws_getContext(source.width, source.height, AV_PIX_FMT_GRAY8, width, height, AV_PIX_FMT_GRAY8,
                       flags | SWS_ACCURATE_RND, nullptr, nullptr, nullptr),
        sws_freeContext);
    if (!context)
        throw std::runtime_error("libswscale refused " + std::to_string(source.width) + "x" +
                                 std::to_string(source.height) + " -> " + std::to_string(width) + "x" +
                                 std::to_string(height));
    RgbaImage result(width, height);
    std::vector<uint8_t> in(static_cast<size_t>(source.width) * source.height);
    std::vector<uint8_t> out(static_cast<size_t>(width) * height);
    for (int channel = 0; channel < 3; ++channel) {
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = source.pixels[i * 4 + channel];
        const uint8_t* in_planes[] = {in.data()};
        int in_strides[] = {source.width};
        uint8_t* out_planes[] = {out.data()};
        int out_strides[] = {width};
        sws_scale(context.get(), in_planes, in_strides, 0, source.height, out_planes, out_strides);
        for (size_t i = 0; i < out.size(); ++i)
            result.pixels[i * 4 + channel] = out[i];
    }
    for (size_t i = 0; i < out.size(); ++i)
        result.pixels[i * 4 + 3] = 255;
    return result;
}

// The largest top-left part whose sides divide by 12, so that all three factors give whole sizes.
RgbaImage crop_to_twelves(const RgbaImage& image)
{
    RgbaImage result(image.width - image.width % 12, image.height - image.height % 12);
    for (int y = 0; y < result.height; ++y)
        std::memcpy(result.at(0, y), image.at(0, y), static_cast<size_t>(result.width) * 4);
    return result;
}

RgbaImage upscale(const Method& method, const RgbaImage& small, int width, int height, float factor,
                  const std::string& config)
{
    if (method.sws_flags != 0)
        return sws_scale_rgb(small, width, height, method.sws_flags);
    Options options;
    options.level = method.level;
    options.sharpness = 0.0f;
    options.smooth = method.smooth;
    VelmoUpscaler upscaler(options, config, small.width, small.height, factor);
    if (upscaler.output_width() != width || upscaler.output_height() != height)
        throw std::runtime_error("velmo draws " + std::to_string(upscaler.output_width()) + "x" +
                                 std::to_string(upscaler.output_height()) + " instead of " +
                                 std::to_string(width) + "x" + std::to_string(height));
    RgbaImage result;
    upscaler.upscale(small, result);
    for (size_t i = 3; i < result.pixels.size(); i += 4)
        result.pixels[i] = 255;
    return result;
}

// By 4 in two passes of 2x: velmo-upscale's passes, of which only the last sharpens, or (for
// comparison) two instances that each sharpen.
RgbaImage upscale_by_four(const Method& method, const RgbaImage& small, const EglSession& session,
                          const std::string& config, bool sharpen_each_pass)
{
    if (method.sws_flags != 0)
        return sws_scale_rgb(small, small.width * 4, small.height * 4, method.sws_flags);
    Options options;
    options.level = method.level;
    options.sharpness = 0.0f;
    options.smooth = method.smooth;
    RgbaImage result;
    if (sharpen_each_pass) {
        RgbaImage between;
        VelmoUpscaler first(options, config, small.width, small.height, 2.0f);
        first.upscale(small, between);
        VelmoUpscaler second(options, config, between.width, between.height, 2.0f);
        second.upscale(between, result);
    } else {
        options.scale = 4.0f;
        ScalePlan plan = plan_scale(options, small.width, small.height, "photograph");
        UpscalePasses passes(session, options, config, small.width, small.height, plan, "the photograph");
        passes.upscale(small, result);
    }
    for (size_t i = 3; i < result.pixels.size(); i += 4)
        result.pixels[i] = 255;
    return result;
}

// The x4 rows: libswscale's filters and velmo's levels without smoothing, plus velmo's default
// sharpened in both passes, which is what sharpening only once avoids.
struct FourMethod {
    Method method;
    bool sharpen_each_pass = false;
};

std::vector<FourMethod> four_methods(const std::vector<Method>& list)
{
    std::vector<FourMethod> result;
    for (const Method& method : list)
        if (!method.smooth)
            result.push_back({method, false});
    for (const Method& method : list)
        if (method.sws_flags == 0 && method.level == 2 && !method.smooth)
            result.push_back({{method.name + ", sharpened in both passes", 0, 2, false}, true});
    return result;
}

// A region of `image` magnified by `zoom` with each pixel a square, so that the filters' own
// work stays visible.
RgbaImage magnified(const RgbaImage& image, int left, int top, int width, int height, int zoom)
{
    RgbaImage result(width * zoom, height * zoom);
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x)
            std::memcpy(result.at(x, y), image.at(left + x / zoom, top + y / zoom), 4);
    return result;
}

// One row per photograph, each the centres of its original, Lanczos and velmo pictures side by side.
constexpr int kZoomRows = 2;

void write_zoom(const std::string& path, const std::vector<std::vector<RgbaImage>>& rows)
{
    constexpr int kCrop = 128;
    constexpr int kZoom = 3;
    constexpr int kGap = 6;
    int side = kCrop * kZoom;
    int columns = static_cast<int>(rows.front().size());
    int count = static_cast<int>(rows.size());
    RgbaImage sheet(columns * (side + kGap) - kGap, count * (side + kGap) - kGap);
    for (size_t i = 3; i < sheet.pixels.size(); i += 4)
        sheet.pixels[i] = 255;
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < columns; ++column) {
            const RgbaImage& picture = rows[row][column];
            RgbaImage part = magnified(picture, (picture.width - kCrop) / 2, (picture.height - kCrop) / 2, kCrop,
                                       kCrop, kZoom);
            for (int y = 0; y < side; ++y)
                std::memcpy(sheet.at(column * (side + kGap), row * (side + kGap) + y), part.at(0, y),
                            static_cast<size_t>(side) * 4);
        }
    }
    save_png(path, sheet, false);
}

struct Sums {
    Scores total;
    int count = 0;
};

void print_table(const std::vector<Method>& list, const std::map<std::string, Sums> (&sums)[2], int photos)
{
    std::printf("Mean over %d photographs; each shrunk with area averaging, then scaled back to its own "
                "size.\n\n",
                photos);
    std::printf("| method | x2 PSNR Y (dB) | x2 PSNR RGB (dB) | x2 SSIM Y | x1.5 PSNR Y (dB) | "
                "x1.5 PSNR RGB (dB) | x1.5 SSIM Y |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Method& method : list) {
        std::printf("| %s |", method.name.c_str());
        for (const auto& by_factor : sums) {
            const Sums& s = by_factor.at(method.name);
            std::printf(" %.2f | %.2f | %.4f |", s.total.psnr_luma / s.count, s.total.psnr_rgb / s.count,
                        s.total.ssim_luma / s.count);
        }
        std::printf("\n");
    }
}

void print_four_table(const std::vector<FourMethod>& list, const std::map<std::string, Sums>& sums)
{
    std::printf("\nx4, each photograph shrunk by 4; velmo in two passes of 2x, sharpening in the last one only "
                "unless the row says otherwise:\n\n");
    std::printf("| method | x4 PSNR Y (dB) | x4 PSNR RGB (dB) | x4 SSIM Y |\n");
    std::printf("|---|---:|---:|---:|\n");
    for (const FourMethod& four : list) {
        const Sums& s = sums.at(four.method.name);
        std::printf("| %s | %.2f | %.2f | %.4f |\n", four.method.name.c_str(), s.total.psnr_luma / s.count,
                    s.total.psnr_rgb / s.count, s.total.ssim_luma / s.count);
    }
}

// The methods compared photograph by photograph: the weakest and the best linear filter, velmo's
// default and velmo without sharpening.
const char* const kPerPhotoMethods[] = {"libswscale bilinear", "libswscale Lanczos",
                                        "velmo level 2 (sharpness 1.5)", "velmo sharpness 0"};

std::string base_name(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    return name.substr(0, name.rfind('.'));
}

void print_per_photo_table(const std::vector<std::string>& photos,
                           const std::vector<std::map<std::string, double>>& luma_psnr)
{
    std::printf("\nx2 PSNR Y (dB) per photograph:\n\n| photograph |");
    for (const char* method : kPerPhotoMethods)
        std::printf(" %s |", method);
    std::printf("\n|---|");
    for (size_t m = 0; m < std::size(kPerPhotoMethods); ++m)
        std::printf("---:|");
    std::printf("\n");
    for (size_t p = 0; p < photos.size(); ++p) {
        std::printf("| %s |", base_name(photos[p]).c_str());
        for (const char* method : kPerPhotoMethods)
            std::printf(" %.2f |", luma_psnr[p].at(method));
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    route_velmo_log(false);
    std::string zoom_path;
    std::vector<std::string> photos;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--zoom") == 0 && i + 1 < argc)
            zoom_path = argv[++i];
        else if (argv[i][0] == '-') {
            photos.clear();
            break;
        } else
            photos.push_back(argv[i]);
    }
    if (photos.empty()) {
        std::fprintf(stderr, "usage: velmo_quality_bench [--zoom CROP.png] PHOTO.png...\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    try {
        EglSession session;
        std::string config = config_folder("");
        const std::vector<Method> list = methods();
        const float factors[2] = {2.0f, 1.5f};
        std::map<std::string, Sums> sums[2];
        const std::vector<FourMethod> by_four = four_methods(list);
        std::map<std::string, Sums> four_sums;
        std::vector<std::map<std::string, double>> luma_psnr_x2(photos.size());
        std::vector<std::vector<RgbaImage>> zoom_rows;
        for (size_t p = 0; p < photos.size(); ++p) {
            RgbaImage original = crop_to_twelves(read_png(photos[p]).image);
            std::fprintf(stderr, "velmo_quality_bench: %s (%dx%d)\n", photos[p].c_str(), original.width,
                         original.height);
            for (int f = 0; f < 2; ++f) {
                int small_width = f == 0 ? original.width / 2 : original.width * 2 / 3;
                int small_height = f == 0 ? original.height / 2 : original.height * 2 / 3;
                RgbaImage small = sws_scale_rgb(original, small_width, small_height, SWS_AREA);
                RgbaImage lanczos;
                RgbaImage velmo_default;
                for (const Method& method : list) {
                    RgbaImage result = upscale(method, small, original.width, original.height, factors[f], config);
                    Sums& s = sums[f][method.name];
                    Scores scores = velmo_bench::score(original, result);
                    s.total.psnr_luma += scores.psnr_luma;
                    s.total.psnr_rgb += scores.psnr_rgb;
                    s.total.ssim_luma += scores.ssim_luma;
                    ++s.count;
                    if (f == 0)
                        luma_psnr_x2[p][method.name] = scores.psnr_luma;
                    if (method.sws_flags == SWS_LANCZOS)
                        lanczos = std::move(result);
                    else if (method.level == 2 && !method.smooth)
                        velmo_default = std::move(result);
                }
                if (static_cast<int>(p) < kZoomRows && f == 0)
                    zoom_rows.push_back({original, std::move(lanczos), std::move(velmo_default)});
            }
            RgbaImage quarter = sws_scale_rgb(original, original.width / 4, original.height / 4, SWS_AREA);
            for (const FourMethod& four : by_four) {
                Scores scores = velmo_bench::score(
                    original, upscale_by_four(four.method, quarter, session, config, four.sharpen_each_pass));
                Sums& s = four_sums[four.method.name];
                s.total.psnr_luma += scores.psnr_luma;
                s.total.psnr_rgb += scores.psnr_rgb;
                s.total.ssim_luma += scores.ssim_luma;
                ++s.count;
            }
        }
        std::printf("GL renderer: %s\n\n", session.renderer().c_str());
        if (!zoom_path.empty())
            write_zoom(zoom_path, zoom_rows);
        print_table(list, sums, static_cast<int>(photos.size()));
        print_four_table(by_four, four_sums);
        print_per_photo_table(photos, luma_psnr_x2);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmo_quality_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
