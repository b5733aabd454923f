// The CPU upscaling pass and stretch against libswscale's bilinear, bicubic and Lanczos RGBA
// scalers on the same 1280x720 -> 1920x1080 frame (a photograph), on one and on two threads, side
// by side in one run: milliseconds per frame, cycles per output pixel and the ratios the targets name.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}
#include <png.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "FastestRunReporter.h"
#include "velmo/velmo_api.h"
#include "velmo/velmo_cpu.h"

namespace {

constexpr int kSrcWidth = 1280, kSrcHeight = 720, kDstWidth = 1920, kDstHeight = 1080;

struct Rgba {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
};

Rgba read_png(const char* path)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    Rgba result;
    if (!png_image_begin_read_from_file(&image, path))
        return result;
    image.format = PNG_FORMAT_RGBA;
    result.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr))
        return {};
    result.width = static_cast<int>(image.width);
    result.height = static_cast<int>(image.height);
    return result;
}

SwsContext* swscale_context(int src_w, int src_h, int dst_w, int dst_h, int flags, int threads)
{
    SwsContext* context = sws_alloc_context();
    av_opt_set_int(context, "srcw", src_w, 0);
    av_opt_set_int(context, "srch", src_h, 0);
    av_opt_set_int(context, "src_format", AV_PIX_FMT_RGBA, 0);
    av_opt_set_int(context, "dstw", dst_w, 0);
    av_opt_set_int(context, "dsth", dst_h, 0);
    av_opt_set_int(context, "dst_format", AV_PIX_FMT_RGBA, 0);
    av_opt_set_int(context, "sws_flags", flags, 0);
    av_opt_set_int(context, "threads", threads, 0);
    if (sws_init_context(context, nullptr, nullptr) < 0) {
        sws_freeContext(context);
        return nullptr;
    }
    return context;
}

AVFrame* rgba_frame(int width, int height)
{
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_RGBA;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame, 64);
    return frame;
}

// The benchmark frame: the photograph scaled to 1280x720 with libswscale's bicubic filter.
Rgba g_frame;

bool prepare_frame(const char* path)
{
    const Rgba photo = read_png(path);
    if (photo.pixels.empty())
        return false;
    SwsContext* context = swscale_context(photo.width, photo.height, kSrcWidth, kSrcHeight, SWS_BICUBIC, 1);
    const std::uint8_t* src[1] = {photo.pixels.data()};
    const int src_stride[1] = {4 * photo.width};
    g_frame.width = kSrcWidth;
    g_frame.height = kSrcHeight;
    g_frame.pixels.resize(4u * kSrcWidth * kSrcHeight);
    std::uint8_t* dst[1] = {g_frame.pixels.data()};
    const int dst_stride[1] = {4 * kSrcWidth};
    sws_scale(context, src, src_stride, 0, photo.height, dst, dst_stride);
    sws_freeContext(context);
    return true;
}

// CPU time of the whole process (all threads), in seconds.
double process_cpu_seconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Reports the process's CPU time per frame beside the wall time: with two threads on a machine
// whose cores are busy with other work the wall time says little, the CPU time still shows what
// splitting the frame costs.
void count_cpu(benchmark::State& state, double cpu_start)
{
    state.counters["cpu_ms"] = benchmark::Counter((process_cpu_seconds() - cpu_start) * 1e3 / static_cast<double>(state.iterations()));
}

using Band = void (*)(std::uint8_t* dst, int begin, int end, const velmo_init_params& params);

void upscale_band(std::uint8_t* dst, int begin, int end, const velmo_init_params& params)
{
    kx_velmo::SR_UpscaleRGBA(g_frame.pixels.data(), 4 * kSrcWidth, kSrcWidth, kSrcHeight, dst, 4 * kDstWidth,
                             kDstWidth, kDstHeight, begin, end, &params);
}

void stretch_band(std::uint8_t* dst, int begin, int end, const velmo_init_params&)
{
    kx_velmo::SR_StretchRGBA(g_frame.pixels.data(), 4 * kSrcWidth, kSrcWidth, kSrcHeight, dst, 4 * kDstWidth,
                             kDstWidth, kDstHeight, begin, end);
}

// One frame split into `threads` equal bands, the calling thread drawing the first.
void run_bands(Band band, std::uint8_t* dst, int threads, const velmo_init_params& params)
{
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(band, dst, kDstHeight * t / threads, kDstHeight * (t + 1) / threads, std::cref(params));
    band(dst, 0, kDstHeight / threads, params);
    for (std::thread& helper : helpers)
        helper.join();
}

void register_velmo(const std::string& name, Band band, int threads, int cpu_info, velmo_init_params params)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        std::vector<std::uint8_t> dst(4u * kDstWidth * kDstHeight);
        const int saved = kx_velmo::cpu_info_;
        kx_velmo::cpu_info_ = cpu_info;
        const double cpu_start = process_cpu_seconds();
        for (auto _ : state) {
            run_bands(band, dst.data(), threads, params);
            benchmark::ClobberMemory();
        }
        count_cpu(state, cpu_start);
        kx_velmo::cpu_info_ = saved;
    })->Unit(benchmark::kMillisecond)->UseRealTime();
}

void register_swscale(const std::string& name, int flags, int threads)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        SwsContext* context = swscale_context(kSrcWidth, kSrcHeight, kDstWidth, kDstHeight, flags, threads);
        if (!context) {
            state.SkipWithError("libswscale refused the scale");
            return;
        }
        AVFrame* src = rgba_frame(kSrcWidth, kSrcHeight);
        for (int y = 0; y < kSrcHeight; ++y)
            std::memcpy(src->data[0] + y * src->linesize[0], g_frame.pixels.data() + 4u * kSrcWidth * y, 4u * kSrcWidth);
        AVFrame* dst = rgba_frame(kDstWidth, kDstHeight);
        const double cpu_start = process_cpu_seconds();
        for (auto _ : state) {
            sws_scale_frame(context, dst, src);
            benchmark::ClobberMemory();
        }
        count_cpu(state, cpu_start);
        av_frame_free(&dst);
        av_frame_free(&src);
        sws_freeContext(context);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
}

// Cycles per second of the processor's time-stamp counter (its nominal clock); 0 where there is none.
double counter_hz()
{
#if defined(__x86_64__)
    const auto start = std::chrono::steady_clock::now();
    const unsigned long long ticks = __builtin_ia32_rdtsc();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(__builtin_ia32_rdtsc() - ticks) / seconds;
#else
    return 0.0;
#endif
}

const char* const kRows[] = {
    "SR_UpscaleRGBA/1 thread",  "SR_UpscaleRGBA/2 threads",  "SR_UpscaleRGBA portable/1 thread",
    "SR_UpscaleRGBA smoothing face/1 thread", "SR_StretchRGBA/1 thread", "SR_StretchRGBA/2 threads",
    "swscale bilinear/1 thread", "swscale bilinear/2 threads", "swscale bicubic/1 thread",
    "swscale bicubic/2 threads", "swscale lanczos/1 thread", "swscale lanczos/2 threads",
};

void print_table(const velmo_bench::FastestRunReporter& results, double hz)
{
    const double pixels = static_cast<double>(kDstWidth) * kDstHeight;
    const std::string lanczos = "swscale lanczos/1 thread";
    std::printf("\n1280x720 -> 1920x1080 RGBA, fastest repetition of each\n");
    std::printf("| routine | wall ms/frame | CPU ms/frame | cycles/output pixel | x Lanczos, wall | x Lanczos, CPU |\n"
                "|---|---:|---:|---:|---:|---:|\n");
    for (const char* row : kRows) {
        if (!results.has(row) || !results.has(lanczos))
            continue;
        const double cpu_ms = results.counter(row, "cpu_ms");
        char cycles[32] = "-";
        if (hz > 0)
            std::snprintf(cycles, sizeof cycles, "%.1f", cpu_ms * 1e-3 * hz / pixels);
        std::printf("| %s | %.2f | %.2f | %s | %.2fx | %.2fx |\n", row, results.seconds(row) * 1e3, cpu_ms, cycles,
                    results.seconds(row) / results.seconds(lanczos), cpu_ms / results.counter(lanczos, "cpu_ms"));
    }
    const auto ratio = [&](const char* a, const char* b) {
        return results.has(a) && results.has(b) ? results.seconds(a) / results.seconds(b) : 0.0;
    };
    const auto cpu_ratio = [&](const char* a, const char* b) {
        return results.has(a) && results.has(b) ? results.counter(a, "cpu_ms") / results.counter(b, "cpu_ms") : 0.0;
    };
    // `a`'s time per frame over `b`'s, on the wall clock and in CPU time.
    const auto print_versus = [&](const char* label, const char* a, const char* b, const char* target) {
        std::printf("%s: %.2fx wall, %.2fx CPU%s\n", label, ratio(a, b), cpu_ratio(a, b), target);
    };
    std::printf("\n");
    print_versus("SR_UpscaleRGBA vs libswscale Lanczos, one thread", "SR_UpscaleRGBA/1 thread", lanczos.c_str(),
                 " (target <= 1.0x)");
    print_versus("SR_UpscaleRGBA vs libswscale bilinear, one thread", "SR_UpscaleRGBA/1 thread",
                 "swscale bilinear/1 thread", "");
    std::printf("SR_UpscaleRGBA two threads over one: %.2fx faster (target >= 1.8x), %.2fx the CPU time\n",
                ratio("SR_UpscaleRGBA/1 thread", "SR_UpscaleRGBA/2 threads"),
                cpu_ratio("SR_UpscaleRGBA/2 threads", "SR_UpscaleRGBA/1 thread"));
    std::printf("SR_UpscaleRGBA SIMD kernels over the portable ones: %.2fx faster\n",
                ratio("SR_UpscaleRGBA portable/1 thread", "SR_UpscaleRGBA/1 thread"));
    print_versus("SR_StretchRGBA vs libswscale bilinear, one thread", "SR_StretchRGBA/1 thread",
                 "swscale bilinear/1 thread", "");
    std::printf("SR_StretchRGBA two threads over one: %.2fx faster, %.2fx the CPU time\n",
                ratio("SR_StretchRGBA/1 thread", "SR_StretchRGBA/2 threads"),
                cpu_ratio("SR_StretchRGBA/2 threads", "SR_StretchRGBA/1 thread"));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* photo = argc > 1 ? argv[1] : VELMO_BENCH_PHOTO;
    if (!prepare_frame(photo)) {
        std::fprintf(stderr, "cannot read the photograph %s\n", photo);
        return 1;
    }
    // velmo's defaults, set here: the C interface is not built without the GPU path.
    velmo_init_params params{};
    params.sr_level = 2;
    params.custom_sharpness = 1.5f;
    params.enable_edge_adaptive = true;
    params.sigma_s = 0.8f;
    params.sigma_r = 1.0f;
    velmo_init_params smoothing = params;
    smoothing.enable_fast_sr_smooth = true;
    smoothing.enable_face_protection = true;
    const int simd = kx_velmo::CPU_INITIALIZED | kx_velmo::CPU_HAS_ARM | kx_velmo::CPU_HAS_NEON;
    const int portable = kx_velmo::CPU_INITIALIZED;
    register_velmo(kRows[0], upscale_band, 1, simd, params);
    register_velmo(kRows[1], upscale_band, 2, simd, params);
    register_velmo(kRows[2], upscale_band, 1, portable, params);
    register_velmo(kRows[3], upscale_band, 1, simd, smoothing);
    register_velmo(kRows[4], stretch_band, 1, simd, params);
    register_velmo(kRows[5], stretch_band, 2, simd, params);
    const int flags[] = {SWS_BILINEAR, SWS_BICUBIC, SWS_LANCZOS};
    for (int f = 0; f < 3; ++f)
        for (int threads = 1; threads <= 2; ++threads)
            register_swscale(kRows[6 + 2 * f + threads - 1], flags[f], threads);
    velmo_bench::FastestRunReporter reporter(velmo_bench::FastestRunReporter::Clock::wall);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_table(reporter, counter_hz());
    benchmark::Shutdown();
    return 0;
}
