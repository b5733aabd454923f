// velmo_quality_bench: shrinks photographs by 2, 1.5 and 4 with area averaging, scales them back
// with velmo, with libswscale's filters and with libswscale's Lanczos followed by FFmpeg's `cas`
// and `unsharp` (the sharpened peers a user would otherwise pick), and prints Markdown tables of
// each method's sharpness, butteraugli, SSIMULACRA, PSNR and SSIM against the originals: the means
// per factor, then a few methods photograph by photograph. By 4, velmo runs in two passes as
// velmo-upscale runs them; velmo's default is drawn by its CPU pass too. The peers' strengths are
// chosen first: those whose mean x2 sharpness meets velmo's default's, printed beside a few other
// strengths. With --zoom it also writes magnified crops of the first two photographs' centres
// (original, Lanczos and velmo's default side by side, x2, a row for each), with --zoom-peer the
// same with Lanczos + cas in Lanczos's place.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
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
#include "PeerSharpening.h"
#include "PerceptualMetrics.h"
#include "PngIo.h"
#include "QualityMetrics.h"
#include "QualityTables.h"
#include "RgbaImage.h"
#include "ScalePlan.h"
#include "Sharpness.h"
#include "UpscalePasses.h"
#include "VelmoLog.h"
#include "VelmoUpscaler.h"
#include "ZoomSheet.h"
#include "client/BandThreads.h"
#include "client/CpuPasses.h"
#include "client/EglSession.h"

using namespace velmo_upscale;
using namespace velmo_client;
using namespace velmo_bench;

namespace {

struct Method {
    std::string name;
    int sws_flags = 0;              // libswscale filter; 0 for velmo
    std::string sharpening;         // libavfilter filter run after libswscale's, or empty
    int level = 0;                  // velmo's sr_level (0: custom sharpness 0)
    bool smooth = false;
    bool sharpen_each_pass = false; // by 4: two velmo instances that each sharpen
    bool cpu = false;               // velmo's CPU pass (SR_UpscaleRGBA) instead of the GPU
    bool per_photo = false;         // a column of the per-photograph tables
};

// The strengths of the sharpened peers.
struct PeerStrengths {
    double cas = 0;
    double unsharp = 0;
};

Method scaler(const std::string& name, int sws_flags, const std::string& sharpening, bool per_photo)
{
    Method method;
    method.name = name;
    method.sws_flags = sws_flags;
    method.sharpening = sharpening;
    method.per_photo = per_photo;
    return method;
}

Method velmo(const std::string& name, int level, bool smooth, bool per_photo)
{
    Method method;
    method.name = name;
    method.level = level;
    method.smooth = smooth;
    method.per_photo = per_photo;
    return method;
}

constexpr double kModerateCas = 0.5;

std::vector<Method> methods(const PeerStrengths& peers, bool by_four)
{
    char cas_name[64];
    char unsharp_name[64];
    std::snprintf(cas_name, sizeof cas_name, "libswscale Lanczos + cas %.2f", peers.cas);
    std::snprintf(unsharp_name, sizeof unsharp_name, "libswscale Lanczos + unsharp 5x5 %.2f", peers.unsharp);
    std::vector<Method> list = {scaler("libswscale bilinear", SWS_BILINEAR, "", true),
                                scaler("libswscale bicubic", SWS_BICUBIC, "", false),
                                scaler("libswscale Lanczos", SWS_LANCZOS, "", true),
                                scaler("libswscale spline", SWS_SPLINE, "", false),
                                scaler(cas_name, SWS_LANCZOS, cas_filter(peers.cas), true),
                                scaler(unsharp_name, SWS_LANCZOS, unsharp_filter(peers.unsharp), true)};
    // cas at half strength too, the moderate setting a user might keep to.
    if (peers.cas != kModerateCas)
        list.insert(list.begin() + 4, scaler("libswscale Lanczos + cas 0.50", SWS_LANCZOS, cas_filter(kModerateCas), false));
    // Levels 1, 2 and 3 sharpen by 2.0, 1.5 (velmo's default) and 1.0.
    const char* names[] = {"velmo sharpness 0", "velmo level 1 (sharpness 2)", "velmo level 2 (sharpness 1.5)",
                           "velmo level 3 (sharpness 1)"};
    for (bool smooth : {false, true}) {
        if (smooth && by_four)
            continue;
        for (int level : {1, 2, 3, 0})
            list.push_back(velmo(std::string(names[level]) + (smooth ? " + smoothing" : ""), level, smooth,
                                 !smooth && level != 1));
    }
    // velmo's default drawn by its CPU pass, through the passes velmo-upscale's CPU backend runs.
    list.push_back(velmo(std::string(names[2]) + ", CPU pass", 2, false, false));
    list.back().cpu = true;
    // By 4 velmo-upscale sharpens in its last pass only; the old way, sharpening in both, beside it.
    if (by_four) {
        list.push_back(velmo(std::string(names[2]) + ", sharpened in both passes", 2, false, false));
        list.back().sharpen_each_pass = true;
    }
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

void make_opaque(RgbaImage& image)
{
    for (size_t i = 3; i < image.pixels.size(); i += 4)
        image.pixels[i] = 255;
}

Options velmo_options(const Method& method)
{
    Options options;
    options.level = method.level;
    options.sharpness = 0.0f;
    options.smooth = method.smooth;
    return options;
}

// By 4 in two passes of 2x: velmo-upscale's passes, of which only the last sharpens, or two
// instances that each sharpen.
RgbaImage velmo_by_four(const Method& method, const RgbaImage& small, const EglSession& session,
                        const std::string& config)
{
    Options options = velmo_options(method);
    RgbaImage result;
    if (method.sharpen_each_pass) {
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
    return result;
}

// velmo's CPU pass through velmo-upscale's pass plan: one pass up to 2x, two passes of 2x for 4x
// with sharpening in the last only.
RgbaImage velmo_on_cpu(const Method& method, const RgbaImage& small, float scale, BandThreads& threads)
{
    Options options = velmo_options(method);
    options.scale = scale;
    ScalePlan plan = plan_scale(options, small.width, small.height, "photograph");
    CpuPasses passes(options, small.width, small.height, plan.pass_scales);
    RgbaImage result(passes.output_width(), passes.output_height());
    if (!passes.valid() || !passes.draw(small.pixels.data(), small.width * 4, result.pixels.data(), result.width * 4,
                                        threads))
        throw std::runtime_error("velmo's CPU pass refused the photograph");
    return result;
}

struct Factor {
    const char* label;
    float scale;
    const char* note;
};

const Factor kFactors[] = {{"x2", 2.0f, ""},
                           {"x1.5", 1.5f, ""},
                           {"x4", 4.0f,
                            "velmo in two passes of 2x, sharpening in the last one only unless the row says "
                            "otherwise"}};

RgbaImage upscale(const Method& method, const RgbaImage& small, int width, int height, float scale,
                  const EglSession& session, const std::string& config)
{
    // Every picture comes out the same on any number of threads; one keeps the machine free.
    static BandThreads threads(1);
    RgbaImage result;
    if (method.sws_flags != 0) {
        result = sws_scale_rgb(small, width, height, method.sws_flags);
        return method.sharpening.empty() ? result : sharpen_channels(result, method.sharpening);
    }
    if (method.cpu) {
        result = velmo_on_cpu(method, small, scale, threads);
    } else if (scale == 4.0f) {
        result = velmo_by_four(method, small, session, config);
    } else {
        VelmoUpscaler upscaler(velmo_options(method), config, small.width, small.height, scale);
        upscaler.upscale(small, result);
    }
    if (result.width != width || result.height != height)
        throw std::runtime_error("velmo drew " + std::to_string(result.width) + "x" + std::to_string(result.height) +
                                 " instead of " + std::to_string(width) + "x" + std::to_string(height));
    make_opaque(result);
    return result;
}

RgbaImage shrunk(const RgbaImage& original, float scale)
{
    int width = static_cast<int>(std::lround(original.width / scale));
    int height = static_cast<int>(std::lround(original.height / scale));
    return sws_scale_rgb(original, width, height, SWS_AREA);
}

// The sharpened peers' strengths, matched to velmo's default on sharpness at x2: the mean over
// the photographs of each picture's sharpness as a percentage of its original's.
struct Calibration {
    double velmo_default = 0;
    double lanczos = 0;
    std::vector<std::pair<double, double>> cas;     // strength, mean sharpness
    std::vector<std::pair<double, double>> unsharp; // amount, mean sharpness
    PeerStrengths chosen;
    double chosen_cas_sharpness = 0;
    double chosen_unsharp_sharpness = 0;
};

// Every photograph at x2 through libswscale's Lanczos, with its original's sharpness.
struct LanczosSet {
    std::vector<RgbaImage> pictures;
    std::vector<double> original_sharpness;

    double mean_sharpness(const std::string& filter) const
    {
        double sum = 0;
        for (size_t i = 0; i < pictures.size(); ++i) {
            const RgbaImage& picture = pictures[i];
            sum += luma_gradient_rms(filter.empty() ? picture : sharpen_channels(picture, filter)) /
                   original_sharpness[i];
        }
        return 100.0 * sum / static_cast<double>(pictures.size());
    }
};

// The strength in [low, high], in steps of 0.01, whose mean sharpness comes nearest `target`: a
// bisection, as both filters sharpen more the stronger they are set. `high` when even that falls
// short.
double matching_strength(const LanczosSet& set, std::string (*filter)(double), double low, double high,
                         double target)
{
    if (set.mean_sharpness(filter(high)) <= target)
        return high;
    while (high - low > 0.01) {
        double middle = (low + high) / 2;
        (set.mean_sharpness(filter(middle)) < target ? low : high) = middle;
    }
    double below = std::floor(low * 100) / 100;
    double above = std::ceil(high * 100) / 100;
    return std::fabs(set.mean_sharpness(filter(below)) - target) <= std::fabs(set.mean_sharpness(filter(above)) - target)
               ? below
               : above;
}

Calibration calibrate(const std::vector<RgbaImage>& originals, const EglSession& session, const std::string& config)
{
    Calibration calibration;
    LanczosSet set;
    Method velmo_default = velmo("", 2, false, false);
    for (const RgbaImage& original : originals) {
        double base = luma_gradient_rms(original);
        RgbaImage small = shrunk(original, 2.0f);
        calibration.velmo_default += 100.0 *
            luma_gradient_rms(upscale(velmo_default, small, original.width, original.height, 2.0f, session, config)) /
            base / static_cast<double>(originals.size());
        set.pictures.push_back(sws_scale_rgb(small, original.width, original.height, SWS_LANCZOS));
        set.original_sharpness.push_back(base);
    }
    calibration.lanczos = set.mean_sharpness("");
    for (double strength : {0.2, 0.4, 0.6, 0.8, 0.9, 0.95, 1.0})
        calibration.cas.push_back({strength, set.mean_sharpness(cas_filter(strength))});
    for (double amount : {0.5, 1.0, 1.5, 2.0, 2.5, 3.0})
        calibration.unsharp.push_back({amount, set.mean_sharpness(unsharp_filter(amount))});
    calibration.chosen.cas = matching_strength(set, cas_filter, 0.0, 1.0, calibration.velmo_default);
    calibration.chosen.unsharp = matching_strength(set, unsharp_filter, 0.0, 5.0, calibration.velmo_default);
    calibration.chosen_cas_sharpness = set.mean_sharpness(cas_filter(calibration.chosen.cas));
    calibration.chosen_unsharp_sharpness = set.mean_sharpness(unsharp_filter(calibration.chosen.unsharp));
    return calibration;
}

void print_grid(const char* label, const std::vector<std::pair<double, double>>& grid, double chosen,
                double chosen_sharpness)
{
    std::printf("| %s |", label);
    for (const auto& point : grid)
        std::printf(" %.2f |", point.first);
    std::printf(" **%.2f** |\n|---|", chosen);
    for (size_t i = 0; i <= grid.size(); ++i)
        std::printf("---:|");
    std::printf("\n| sharpness |");
    for (const auto& point : grid)
        std::printf(" %.0f %% |", point.second);
    std::printf(" **%.0f %%** |\n\n", chosen_sharpness);
}

void print_calibration(const Calibration& calibration)
{
    std::printf("Sharpness is the RMS of the luma differences between neighbouring pixels, as a percentage of "
                "the original's. At x2, on the mean over the photographs, velmo's default reaches %.0f %% and "
                "libswscale's Lanczos %.0f %%. Each sharpened peer runs at the strength (in bold, found by "
                "bisection to 0.01) whose mean sharpness at x2 meets velmo's default's:\n\n",
                calibration.velmo_default, calibration.lanczos);
    print_grid("Lanczos + cas, strength", calibration.cas, calibration.chosen.cas, calibration.chosen_cas_sharpness);
    print_grid("Lanczos + unsharp 5x5, amount", calibration.unsharp, calibration.chosen.unsharp,
               calibration.chosen_unsharp_sharpness);
}

Figures measure(const RgbaImage& original, double original_sharpness, const RgbaImage& result,
                PerceptualScorer& scorer)
{
    Scores scores = score(original, result);
    PerceptualScores perceptual = scorer.score(result);
    Figures figures;
    figures.sharpness = 100.0 * luma_gradient_rms(result) / original_sharpness;
    figures.butteraugli_3norm = perceptual.butteraugli_3norm;
    figures.butteraugli_max = perceptual.butteraugli_max;
    figures.ssimulacra = perceptual.ssimulacra;
    figures.psnr_luma = scores.psnr_luma;
    figures.psnr_rgb = scores.psnr_rgb;
    figures.ssim_luma = scores.ssim_luma;
    return figures;
}

// One row per photograph for each crop sheet: text and a face are the first two photographs.
constexpr size_t kZoomRows = 2;

struct ZoomRows {
    std::vector<std::vector<RgbaImage>> lanczos; // original, Lanczos, velmo's default
    std::vector<std::vector<RgbaImage>> peer;    // original, Lanczos + cas, velmo's default
};

std::string base_name(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    return name.substr(0, name.rfind('.'));
}

// Every factor's methods run on one photograph, its figures appended to `results`.
void run_photograph(const RgbaImage& original, const PeerStrengths& peers, const EglSession& session,
                    const std::string& config, PerceptualScorer& scorer, std::vector<ScaleResults>& results,
                    ZoomRows* zoom)
{
    scorer.set_original(original);
    double original_sharpness = luma_gradient_rms(original);
    for (size_t f = 0; f < std::size(kFactors); ++f) {
        const Factor& factor = kFactors[f];
        RgbaImage small = shrunk(original, factor.scale);
        RgbaImage lanczos;
        RgbaImage with_cas;
        RgbaImage velmo_default;
        for (const Method& method : methods(peers, factor.scale == 4.0f)) {
            RgbaImage result = upscale(method, small, original.width, original.height, factor.scale, session, config);
            results[f].figures[method.name].push_back(measure(original, original_sharpness, result, scorer));
            if (!zoom || factor.scale != 2.0f)
                continue;
            if (method.sws_flags == SWS_LANCZOS && method.sharpening.empty())
                lanczos = std::move(result);
            else if (method.sharpening == cas_filter(peers.cas))
                with_cas = std::move(result);
            else if (method.sws_flags == 0 && method.level == 2 && !method.smooth && !method.cpu)
                velmo_default = std::move(result);
        }
        if (zoom && factor.scale == 2.0f) {
            zoom->lanczos.push_back({original, std::move(lanczos), velmo_default});
            zoom->peer.push_back({original, std::move(with_cas), std::move(velmo_default)});
        }
    }
}

std::vector<ScaleResults> empty_results(const PeerStrengths& peers)
{
    std::vector<ScaleResults> results;
    for (const Factor& factor : kFactors) {
        ScaleResults scale;
        scale.factor = factor.label;
        scale.note = factor.note;
        for (const Method& method : methods(peers, factor.scale == 4.0f)) {
            scale.methods.push_back(method.name);
            if (method.per_photo)
                scale.per_photo_methods.push_back(method.name);
        }
        results.push_back(std::move(scale));
    }
    return results;
}

void print_tables(const Calibration& calibration, const std::vector<ScaleResults>& results,
                  const std::vector<std::string>& photos)
{
    std::vector<std::string> names;
    for (const std::string& path : photos)
        names.push_back(base_name(path));
    print_calibration(calibration);
    for (const ScaleResults& scale : results)
        print_mean_table(scale);
    for (const ScaleResults& scale : results) {
        print_per_photo_table(scale, kButteraugli3Norm, names);
        print_per_photo_table(scale, kSsimulacra, names);
        if (&scale == &results.front())
            print_per_photo_table(scale, kPsnrLuma, names);
    }
}

} // namespace

int main(int argc, char** argv)
{
    route_velmo_log(false);
    std::string zoom_path;
    std::string zoom_peer_path;
    std::vector<std::string> photos;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--zoom") == 0 && i + 1 < argc)
            zoom_path = argv[++i];
        else if (std::strcmp(argv[i], "--zoom-peer") == 0 && i + 1 < argc)
            zoom_peer_path = argv[++i];
        else if (argv[i][0] == '-') {
            photos.clear();
            break;
        } else
            photos.push_back(argv[i]);
    }
    if (photos.empty()) {
        std::fprintf(stderr, "usage: velmo_quality_bench [--zoom CROP.png] [--zoom-peer CROP.png] PHOTO.png...\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    try {
        EglSession session;
        std::string config = config_folder("");
        PerceptualScorer scorer;
        std::vector<RgbaImage> originals;
        for (const std::string& path : photos)
            originals.push_back(crop_to_twelves(read_png(path).image));
        std::fprintf(stderr, "velmo_quality_bench: choosing the peers' strengths\n");
        Calibration calibration = calibrate(originals, session, config);
        std::vector<ScaleResults> results = empty_results(calibration.chosen);
        ZoomRows zoom;
        for (size_t p = 0; p < photos.size(); ++p) {
            std::fprintf(stderr, "velmo_quality_bench: %s (%dx%d)\n", photos[p].c_str(), originals[p].width,
                         originals[p].height);
            run_photograph(originals[p], calibration.chosen, session, config, scorer, results,
                           p < kZoomRows ? &zoom : nullptr);
        }
        std::printf("GL renderer: %s\n\n", session.renderer().c_str());
        if (!zoom_path.empty())
            write_zoom_sheet(zoom_path, zoom.lanczos);
        if (!zoom_peer_path.empty())
            write_zoom_sheet(zoom_peer_path, zoom.peer);
        print_tables(calibration, results, photos);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmo_quality_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
