// Milliseconds per 1280x720 -> 1920x1080 frame spent inside the velmoupscale element (from the
// buffer reaching its sink pad to the upscaled buffer leaving its source pad) against
// velmo_process alone on the same picture in a context of our own, for the plain and the
// upscaling path, and the ratio of the two.
#include <benchmark/benchmark.h>
#include <gst/app/app.h>
#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "SampleScene.h"
#include "client/DrawFrame.h"
#include "client/EglSession.h"
#include "client/GlTexture.h"
#include "velmo/velmo_api.h"

using namespace velmo_upscale;
using namespace velmo_client;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kOutWidth = 1920;

RgbaImage g_picture;
std::map<std::string, double> g_mean_ms;

// When the element took a buffer in and when it let the upscaled one out.
struct ElementClock {
    std::mutex mutex;
    std::condition_variable done;
    Clock::time_point in;
    Clock::time_point out;
    bool passed = false;
};

GstPadProbeReturn buffer_in(GstPad*, GstPadProbeInfo*, gpointer data)
{
    static_cast<ElementClock*>(data)->in = Clock::now();
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn buffer_out(GstPad*, GstPadProbeInfo*, gpointer data)
{
    auto* clock = static_cast<ElementClock*>(data);
    std::lock_guard<std::mutex> lock(clock->mutex);
    clock->out = Clock::now();
    clock->passed = true;
    clock->done.notify_one();
    return GST_PAD_PROBE_OK;
}

void add_probe(GstElement* element, const char* pad_name, GstPadProbeCallback callback, ElementClock* clock)
{
    GstPad* pad = gst_element_get_static_pad(element, pad_name);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, callback, clock, nullptr);
    gst_object_unref(pad);
}

void BM_Element(benchmark::State& state, int priority)
{
    std::string description = "appsrc name=in format=time ! glupload ! velmoupscale name=up priority=" +
                              std::to_string(priority) + " ! fakesink sync=false";
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    GstElement* source = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* element = gst_bin_get_by_name(GST_BIN(pipeline), "up");
    ElementClock clock;
    add_probe(element, "sink", buffer_in, &clock);
    add_probe(element, "src", buffer_out, &clock);
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBA", "width", G_TYPE_INT, kWidth,
                                        "height", G_TYPE_INT, kHeight, "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
    gst_app_src_set_caps(GST_APP_SRC(source), caps);
    gst_caps_unref(caps);
    GstBuffer* picture = gst_buffer_new_memdup(g_picture.pixels.data(), g_picture.pixels.size());
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    int frame = 0;
    auto pass_frame = [&]() -> double {
        std::unique_lock<std::mutex> lock(clock.mutex);
        clock.passed = false;
        GstBuffer* buffer = gst_buffer_copy(picture);
        GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(frame++) * GST_SECOND / 30;
        lock.unlock();
        gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
        lock.lock();
        if (!clock.done.wait_for(lock, std::chrono::seconds(30), [&] { return clock.passed; }))
            return -1.0;
        return std::chrono::duration<double>(clock.out - clock.in).count();
    };
    // The first frame creates velmo's instance and its programs.
    for (int i = 0; i < 3; ++i)
        pass_frame();
    for (auto _ : state) {
        double seconds = pass_frame();
        if (seconds < 0) {
            state.SkipWithError("no frame came out of the element");
            break;
        }
        state.SetIterationTime(seconds);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_buffer_unref(picture);
    gst_object_unref(element);
    gst_object_unref(source);
    gst_object_unref(pipeline);
}

void BM_VelmoProcess(benchmark::State& state, int priority)
{
    GlTexture input;
    input.upload(g_picture);
    velmo_init_params params;
    velmo_default_params(&params);
    params.config_dir = "/tmp";
    params.priority = priority;
    void* instance = velmo_init(&params);
    velmo_set_input_props(instance, kWidth, kHeight, 1.5f);
    velmo_input_frame in = {kWidth, kHeight, static_cast<int32_t>(input.name()), 0, 0};
    DrawnFrame first = draw_frame(instance, in);
    velmo_output_frame out = first.out;
    if (!first.drawn || out.width != kOutWidth)
        state.SkipWithError("velmo did not start drawing");
    for (auto _ : state) {
        auto start = Clock::now();
        velmo_process(instance, &in, &out);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    velmo_release(instance);
}

// Keeps each benchmark's mean time per frame for the ratio lines printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With repetitions the mean over them comes after the single runs and replaces them.
        for (const Run& run : runs)
            if ((run.run_type == Run::RT_Iteration && run.iterations > 0) ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean"))
                g_mean_ms[run.run_name.str()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

void print_ratio(const char* path, const std::string& element, const std::string& alone)
{
    auto e = g_mean_ms.find(element);
    auto a = g_mean_ms.find(alone);
    if (e != g_mean_ms.end() && a != g_mean_ms.end() && a->second > 0)
        std::printf("%-10s element %.2f ms, velmo_process %.2f ms: %.3fx\n", path, e->second, a->second,
                    e->second / a->second);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    g_setenv("GST_PLUGIN_PATH", VELMO_GST_PLUGIN_DIR, FALSE);
    g_setenv("GST_GL_PLATFORM", "egl", FALSE);
    g_setenv("GST_GL_WINDOW", "egl-device", FALSE);
    g_setenv("GST_GL_API", "gles2", FALSE);
    gst_init(&argc, &argv);
    EglSession session;
    std::printf("GL renderer: %s\n", session.renderer().c_str());
    g_picture = render_sample_scene(kWidth, kHeight, 0.0);

    for (benchmark::internal::Benchmark* benchmark :
         {benchmark::RegisterBenchmark("ElementPlain", BM_Element, 0),
          benchmark::RegisterBenchmark("VelmoProcessPlain", BM_VelmoProcess, 0),
          benchmark::RegisterBenchmark("ElementUpscale", BM_Element, 2),
          benchmark::RegisterBenchmark("VelmoProcessUpscale", BM_VelmoProcess, 2)})
        benchmark->UseManualTime()->Unit(benchmark::kMillisecond);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nTime per frame inside velmoupscale / velmo_process alone:\n");
    print_ratio("plain", "ElementPlain/manual_time", "VelmoProcessPlain/manual_time");
    print_ratio("upscaling", "ElementUpscale/manual_time", "VelmoProcessUpscale/manual_time");
    benchmark::Shutdown();
    return 0;
}
