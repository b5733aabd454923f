// Throughput of the CPU routines at 1920 x 1080 and 3840 x 2160 with NEON and portable kernels,
// against memcpy moving the same bytes and, for the 2x I420 scale, libswscale's bilinear scaler.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FastestRunReporter.h"
#include "velmo/utils/RGBUtil.h"
#include "velmo/utils/cpu_id.h"
#include "velmo/utils/scaling.h"

using namespace kx_velmo;

namespace {

struct FrameSize {
    int width;
    int height;
    const char* name;
};

constexpr FrameSize SIZES[] = {{1920, 1080, "1920x1080"}, {3840, 2160, "3840x2160"}};

struct KernelSet {
    int cpu_info;
    const char* name;
};

constexpr KernelSet NEON = {CPU_INITIALIZED | CPU_HAS_ARM | CPU_HAS_NEON, "neon"};
constexpr KernelSet PORTABLE = {CPU_INITIALIZED, "portable"};

// Image buffers for one benchmark, 64-byte aligned and filled so every page is really mapped.
class Buffers {
public:
    unsigned char* make(std::size_t size)
    {
        const std::size_t rounded = (size + 63) / 64 * 64;
        auto* bytes = static_cast<unsigned char*>(std::aligned_alloc(64, rounded));
        if (!bytes)
            std::abort();
        for (std::size_t i = 0; i < rounded; ++i)
            bytes[i] = static_cast<unsigned char>(i * 131 + (i >> 9));
        _owned.emplace_back(bytes, std::free);
        return bytes;
    }

private:
    std::vector<std::unique_ptr<unsigned char, decltype(&std::free)>> _owned;
};

using Frame = std::function<void()>;

// A routine at a frame size: its buffers, one call, and the bytes that call reads plus writes.
struct Routine {
    const char* name;
    double (*traffic)(double w, double h);
    Frame (*prepare)(Buffers& buffers, int w, int h);
};

// Sizes: plane routines work on a w x h plane (pixels, or U,V pairs); image routines on a w x h
// image; the scalers produce w x h from half of it.
const Routine ROUTINES[] = {
    {"SR_CopyPlane", [](double w, double h) { return 2 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const unsigned char* src = b.make(std::size_t(w) * h);
         unsigned char* dst = b.make(std::size_t(w) * h);
         return [=] { SR_CopyPlane(src, w, dst, w, w, h); };
     }},
    {"SR_SplitUVPlane", [](double w, double h) { return 4 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const unsigned char* uv = b.make(2 * std::size_t(w) * h);
         unsigned char* u = b.make(std::size_t(w) * h);
         unsigned char* v = b.make(std::size_t(w) * h);
         return [=] { SR_SplitUVPlane(uv, 2 * w, u, w, v, w, w, h); };
     }},
    {"SR_MergeUVPlane", [](double w, double h) { return 4 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const unsigned char* u = b.make(std::size_t(w) * h);
         const unsigned char* v = b.make(std::size_t(w) * h);
         unsigned char* uv = b.make(2 * std::size_t(w) * h);
         return [=] { SR_MergeUVPlane(u, w, v, w, uv, 2 * w, w, h); };
     }},
    {"SR_RGBAToRGB24", [](double w, double h) { return 7 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const unsigned char* rgba = b.make(4 * std::size_t(w) * h);
         unsigned char* rgb = b.make(3 * std::size_t(w) * h);
         return [=] { SR_RGBAToRGB24(rgba, 4 * w, rgb, 3 * w, w, h); };
     }},
    {"SR_NV12ToI420", [](double w, double h) { return 3 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const int cw = w / 2;
         const int ch = h / 2;
         const unsigned char* y = b.make(std::size_t(w) * h);
         const unsigned char* uv = b.make(2 * std::size_t(cw) * ch);
         unsigned char* dy = b.make(std::size_t(w) * h);
         unsigned char* du = b.make(std::size_t(cw) * ch);
         unsigned char* dv = b.make(std::size_t(cw) * ch);
         return [=] { SR_NV12ToI420(y, w, uv, 2 * cw, dy, w, du, cw, dv, cw, w, h); };
     }},
    {"SR_I420ToNV12", [](double w, double h) { return 3 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const int cw = w / 2;
         const int ch = h / 2;
         const unsigned char* y = b.make(std::size_t(w) * h);
         const unsigned char* u = b.make(std::size_t(cw) * ch);
         const unsigned char* v = b.make(std::size_t(cw) * ch);
         unsigned char* dy = b.make(std::size_t(w) * h);
         unsigned char* duv = b.make(2 * std::size_t(cw) * ch);
         return [=] { SR_I420ToNV12(y, w, u, cw, v, cw, dy, w, duv, 2 * cw, w, h); };
     }},
    {"SR_ScalePlane 2x", [](double w, double h) { return 1.25 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const unsigned char* src = b.make(std::size_t(w / 2) * (h / 2));
         unsigned char* dst = b.make(std::size_t(w) * h);
         return [=] { SR_ScalePlane(src, w / 2, w / 2, h / 2, dst, w, w, h, FILTER_BILINEAR); };
     }},
    {"SR_UVScale 2x", [](double w, double h) { return 2.5 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const unsigned char* src = b.make(2 * std::size_t(w / 2) * (h / 2));
         unsigned char* dst = b.make(2 * std::size_t(w) * h);
         return [=] { SR_UVScale(src, w, w / 2, h / 2, dst, 2 * w, w, h, FILTER_BILINEAR); };
     }},
    {"SR_I420Scale 2x", [](double w, double h) { return 1.875 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const int sw = w / 2;
         const int sh = h / 2;
         const unsigned char* y = b.make(std::size_t(sw) * sh);
         const unsigned char* u = b.make(std::size_t(sw / 2) * (sh / 2));
         const unsigned char* v = b.make(std::size_t(sw / 2) * (sh / 2));
         unsigned char* dy = b.make(std::size_t(w) * h);
         unsigned char* du = b.make(std::size_t(w / 2) * (h / 2));
         unsigned char* dv = b.make(std::size_t(w / 2) * (h / 2));
         return [=] {
             SR_I420Scale(y, sw, u, sw / 2, v, sw / 2, sw, sh, dy, w, du, w / 2, dv, w / 2, w, h, FILTER_BILINEAR);
         };
     }},
    {"SR_NV12Scale 2x", [](double w, double h) { return 1.875 * w * h; },
     [](Buffers& b, int w, int h) -> Frame {
         const int sw = w / 2;
         const int sh = h / 2;
         const unsigned char* y = b.make(std::size_t(sw) * sh);
         const unsigned char* uv = b.make(std::size_t(sw) * (sh / 2));
         unsigned char* dy = b.make(std::size_t(w) * h);
         unsigned char* duv = b.make(std::size_t(w) * (h / 2));
         return [=] { SR_NV12Scale(y, sw, uv, sw, sw, sh, dy, w, duv, w, w, h, FILTER_BILINEAR); };
     }},
};

const Routine& routine_named(const std::string& name)
{
    return *std::find_if(std::begin(ROUTINES), std::end(ROUTINES),
                         [&name](const Routine& routine) { return name == routine.name; });
}

std::string routine_key(const Routine& routine, const FrameSize& size, const KernelSet& kernels)
{
    return std::string(routine.name) + "/" + size.name + "/" + kernels.name;
}

// memcpy of half the routine's traffic reads and writes as many bytes as the routine does.
std::size_t memcpy_bytes(const Routine& routine, const FrameSize& size)
{
    return static_cast<std::size_t>(routine.traffic(size.width, size.height) / 2);
}

std::string memcpy_key(std::size_t bytes)
{
    return "memcpy/" + std::to_string(bytes);
}

std::string swscale_key(const FrameSize& size)
{
    return std::string("swscale bilinear I420 2x/") + size.name;
}

void register_routine(const Routine& routine, const FrameSize& size, const KernelSet& kernels)
{
    benchmark::RegisterBenchmark(routine_key(routine, size, kernels).c_str(), [&routine, size, kernels](
                                                                                  benchmark::State& state) {
        Buffers buffers;
        const Frame frame = routine.prepare(buffers, size.width, size.height);
        const int saved = cpu_info_;
        cpu_info_ = kernels.cpu_info;
        frame();
        for (auto _ : state) {
            frame();
            benchmark::ClobberMemory();
        }
        cpu_info_ = saved;
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() *
                                                          routine.traffic(size.width, size.height)));
    })->Unit(benchmark::kMicrosecond);
}

void register_memcpy(std::size_t bytes)
{
    benchmark::RegisterBenchmark(memcpy_key(bytes).c_str(), [bytes](benchmark::State& state) {
        Buffers buffers;
        const unsigned char* src = buffers.make(bytes);
        unsigned char* dst = buffers.make(bytes);
        for (auto _ : state) {
            std::memcpy(dst, src, bytes);
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * bytes));
    })->Unit(benchmark::kMicrosecond);
}

// libswscale's bilinear I420 scaler from half size to `size`, single-threaded like the routines.
void register_swscale(const FrameSize& size)
{
    benchmark::RegisterBenchmark(swscale_key(size).c_str(), [size](benchmark::State& state) {
        const int sw = size.width / 2;
        const int sh = size.height / 2;
        SwsContext* context = sws_getContext(sw, sh, AV_PIX_FMT_YUV420P, size.width, size.height, AV_PIX_FMT_YUV420P,
                                             SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!context) {
            state.SkipWithError("sws_getContext failed");
            return;
        }
        Buffers buffers;
        const std::uint8_t* src[4] = {buffers.make(std::size_t(sw) * sh), buffers.make(std::size_t(sw / 2) * (sh / 2)),
                                      buffers.make(std::size_t(sw / 2) * (sh / 2)), nullptr};
        std::uint8_t* dst[4] = {buffers.make(std::size_t(size.width) * size.height),
                                buffers.make(std::size_t(size.width / 2) * (size.height / 2)),
                                buffers.make(std::size_t(size.width / 2) * (size.height / 2)), nullptr};
        const int src_strides[4] = {sw, sw / 2, sw / 2, 0};
        const int dst_strides[4] = {size.width, size.width / 2, size.width / 2, 0};
        for (auto _ : state) {
            sws_scale(context, src, src_strides, 0, sh, dst, dst_strides);
            benchmark::ClobberMemory();
        }
        sws_freeContext(context);
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 1.875 * size.width * size.height));
    })->Unit(benchmark::kMicrosecond);
}

void print_ratios(const velmo_bench::FastestRunReporter& results)
{
    std::printf("\nRatios (CPU time, fastest repetition of each benchmark)\n");
    std::printf("  memcpy baseline: memcpy of half the routine's traffic, i.e. the same bytes read and written.\n");
    std::printf("  %-18s %-10s %12s %12s %14s %16s\n", "routine", "size", "neon us", "portable us",
                "neon/memcpy", "portable/neon");
    for (const Routine& routine : ROUTINES) {
        for (const FrameSize& size : SIZES) {
            const std::string neon = routine_key(routine, size, NEON);
            const std::string portable = routine_key(routine, size, PORTABLE);
            const std::string copy = memcpy_key(memcpy_bytes(routine, size));
            if (!results.has(neon) || !results.has(portable) || !results.has(copy))
                continue;
            std::printf("  %-18s %-10s %12.1f %12.1f %13.2fx %15.2fx\n", routine.name, size.name,
                        results.seconds(neon) * 1e6, results.seconds(portable) * 1e6,
                        results.seconds(neon) / results.seconds(copy),
                        results.seconds(portable) / results.seconds(neon));
        }
    }
    const Routine& copy_plane = routine_named("SR_CopyPlane");
    for (const FrameSize& size : SIZES) {
        const std::string copy = routine_key(copy_plane, size, NEON);
        const std::string baseline = memcpy_key(memcpy_bytes(copy_plane, size));
        if (results.has(copy) && results.has(baseline))
            std::printf("  SR_CopyPlane speed vs memcpy at %s: %.2fx (target >= 0.90x)\n", size.name,
                        results.seconds(baseline) / results.seconds(copy));
    }
    for (const FrameSize& size : SIZES) {
        const std::string velmo = routine_key(routine_named("SR_I420Scale 2x"), size, NEON);
        const std::string swscale = swscale_key(size);
        if (results.has(velmo) && results.has(swscale))
            std::printf("  SR_I420Scale 2x to %s speed vs libswscale bilinear: %.2fx (target > 1x)\n", size.name,
                        results.seconds(swscale) / results.seconds(velmo));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::size_t> baselines;
    for (const Routine& routine : ROUTINES) {
        for (const FrameSize& size : SIZES) {
            register_routine(routine, size, NEON);
            register_routine(routine, size, PORTABLE);
            baselines.push_back(memcpy_bytes(routine, size));
        }
    }
    std::sort(baselines.begin(), baselines.end());
    baselines.erase(std::unique(baselines.begin(), baselines.end()), baselines.end());
    for (std::size_t bytes : baselines)
        register_memcpy(bytes);
    for (const FrameSize& size : SIZES)
        register_swscale(size);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Every benchmark here runs on one thread, so its CPU time is its own work.
    velmo_bench::FastestRunReporter reporter(velmo_bench::FastestRunReporter::Clock::cpu);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    print_ratios(reporter);
    return 0;
}
