// Milliseconds per 1280x720 -> 1920x1080 frame through velmo's C interface on the current GL
// driver, for the plain, upscaling and upscaling-with-smoothing paths, against a bare bilinear
// blit drawn here; then where velmo's time goes beyond its passes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GlCallMeter.h"
#include "RgbaImage.h"
#include "SampleScene.h"
#include "StretchBlit.h"
#include "client/DrawFrame.h"
#include "client/EglSession.h"
#include "client/GlTexture.h"
#include "velmo/velmo_api.h"

using namespace velmo_upscale;
using namespace velmo_client;
using velmo_bench::MeteredCall;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr float kScale = 1.5f;
constexpr int kOutWidth = 1920;
constexpr int kOutHeight = 1080;

std::unique_ptr<GlTexture> g_input;

// Per-frame figures of the metered calls, as benchmark counters.
void report_metered_calls(benchmark::State& state)
{
    for (int i = 0; i < static_cast<int>(MeteredCall::Count); ++i) {
        auto call = static_cast<MeteredCall>(i);
        velmo_bench::CallStats stats = velmo_bench::metered(call);
        if (stats.calls == 0)
            continue;
        std::string name = velmo_bench::call_name(call);
        state.counters[name + "_ms"] =
            benchmark::Counter(stats.seconds * 1e3, benchmark::Counter::kAvgIterations);
        state.counters[name + "_n"] =
            benchmark::Counter(static_cast<double>(stats.calls), benchmark::Counter::kAvgIterations);
    }
}

void BM_BilinearBlit(benchmark::State& state)
{
    GlTexture target;
    target.allocate(kOutWidth, kOutHeight);
    StretchBlit blit;
    blit.draw(g_input->name(), target.name(), kOutWidth, kOutHeight);
    glFinish();
    velmo_bench::reset_metering();
    velmo_bench::set_metering(true);
    for (auto _ : state) {
        blit.draw(g_input->name(), target.name(), kOutWidth, kOutHeight);
        glFinish();
    }
    velmo_bench::set_metering(false);
    report_metered_calls(state);
}

// The same blit without a glFinish per frame: each frame flushed as a scene of its own, one wait
// per eight. The difference to the blit above is what waiting after every pass costs.
void BM_BilinearBlitBatched(benchmark::State& state)
{
    constexpr int kFramesPerWait = 8;
    GlTexture target;
    target.allocate(kOutWidth, kOutHeight);
    StretchBlit blit;
    blit.draw(g_input->name(), target.name(), kOutWidth, kOutHeight);
    glFinish();
    velmo_bench::reset_metering();
    velmo_bench::set_metering(true);
    for (auto _ : state) {
        for (int i = 0; i < kFramesPerWait; ++i) {
            blit.draw(g_input->name(), target.name(), kOutWidth, kOutHeight);
            glFlush();
        }
        glFinish();
    }
    velmo_bench::set_metering(false);
    report_metered_calls(state);
    state.counters["frames_per_iteration"] = kFramesPerWait;
}

void BM_VelmoFrame(benchmark::State& state, int priority, bool smooth)
{
    velmo_init_params params;
    velmo_default_params(&params);
    params.config_dir = "/tmp";
    params.priority = priority;
    params.enable_fast_sr_smooth = smooth;
    void* instance = velmo_init(&params);
    velmo_set_input_props(instance, kWidth, kHeight, kScale);
    velmo_input_frame in = {kWidth, kHeight, static_cast<int32_t>(g_input->name()), 0, 0};
    // Set-up frames come back passed through; the benchmark starts once velmo draws.
    DrawnFrame first = draw_frame(instance, in);
    velmo_output_frame out = first.out;
    if (!first.drawn || out.width != kOutWidth) {
        state.SkipWithError("velmo did not start drawing");
        velmo_release(instance);
        return;
    }

    velmo_bench::reset_metering();
    velmo_bench::set_metering(true);
    for (auto _ : state) {
        if (velmo_process(instance, &in, &out) != VELMO_OK) {
            state.SkipWithError("velmo_process failed");
            break;
        }
    }
    velmo_bench::set_metering(false);
    report_metered_calls(state);
    velmo_release(instance);
}

// Collects each benchmark's time per frame for the ratio table printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // With repetitions, the mean stands for the benchmark.
            bool aggregate = run.run_type == Run::RT_Aggregate;
            if (run.error_occurred || run.iterations == 0 || (aggregate && run.aggregate_name != "mean"))
                continue;
            std::string name = run.run_name.str();
            Figures& figures = _figures[name];
            for (const auto& [counter_name, counter] : run.counters)
                figures.counters[counter_name] = counter.value;
            auto frames = figures.counters.find("frames_per_iteration");
            double frames_per_iteration = frames == figures.counters.end() ? 1.0 : frames->second;
            figures.ms_per_frame = run.GetAdjustedRealTime() / frames_per_iteration;
            if (std::find(_order.begin(), _order.end(), name) == _order.end())
                _order.push_back(name);
        }
    }

    void print_summary() const
    {
        auto baseline = _figures.find("BilinearBlit/real_time");
        if (baseline == _figures.end())
            return;
        double blit = baseline->second.ms_per_frame;
        std::printf("\n1280x720 -> 1920x1080, per frame (real time)\n");
        std::printf("%-28s %9s %8s %16s %16s %12s %16s\n", "path", "ms", "x blit", "eglMakeCurrent",
                    "glGetUniformLoc", "glFinish", "outside glFinish");
        for (const std::string& name : _order) {
            const Figures& f = _figures.at(name);
            auto frames = f.counters.find("frames_per_iteration");
            double frames_per_iteration = frames == f.counters.end() ? 1.0 : frames->second;
            auto counter = [&f, frames_per_iteration](const char* key) {
                auto found = f.counters.find(key);
                return found == f.counters.end() ? 0.0 : found->second / frames_per_iteration;
            };
            char make_current[32], uniforms[32], finish[32];
            std::snprintf(make_current, sizeof make_current, "%.3f (%g)", counter("eglMakeCurrent_ms"),
                          counter("eglMakeCurrent_n"));
            std::snprintf(uniforms, sizeof uniforms, "%.3f (%g)", counter("glGetUniformLocation_ms"),
                          counter("glGetUniformLocation_n"));
            std::snprintf(finish, sizeof finish, "%.2f (%g)", counter("glFinish_ms"), counter("glFinish_n"));
            std::printf("%-28s %9.2f %8.2f %16s %16s %12s %16.3f\n", name.c_str(), f.ms_per_frame,
                        f.ms_per_frame / blit, make_current, uniforms, finish,
                        f.ms_per_frame - counter("glFinish_ms"));
        }
        std::printf("(ms and, in brackets, calls per frame; llvmpipe rasterises inside glFinish;\n"
                    " BilinearBlitBatched waits once per 8 frames)\n");
    }

private:
    struct Figures {
        double ms_per_frame = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Figures> _figures;
    std::vector<std::string> _order;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    EglSession session;
    std::printf("GL renderer: %s\n", session.renderer().c_str());
    g_input = std::make_unique<GlTexture>();
    g_input->upload(render_sample_scene(kWidth, kHeight, 0.0));

    // llvmpipe draws on its own threads, so only wall-clock time tells what a frame costs.
    for (benchmark::internal::Benchmark* benchmark :
         {benchmark::RegisterBenchmark("BilinearBlit", BM_BilinearBlit),
          benchmark::RegisterBenchmark("BilinearBlitBatched", BM_BilinearBlitBatched),
          benchmark::RegisterBenchmark("VelmoPlain", BM_VelmoFrame, 0, false),
          benchmark::RegisterBenchmark("VelmoUpscale", BM_VelmoFrame, 2, false),
          benchmark::RegisterBenchmark("VelmoUpscaleSmooth", BM_VelmoFrame, 2, true)})
        benchmark->UseRealTime()->Unit(benchmark::kMillisecond);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_summary();
    g_input.reset();
    benchmark::Shutdown();
    return 0;
}
