// The numbered log records of the C interface and the renderer, one call at a time.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "api/VelmoApiTestSupport.h"
#include "support/StderrCapture.h"
#include "velmo/SrRenderOhos.h"
#include "velmo/velmo_api.h"

using velmo_test::default_params;
using velmo_test::VelmoApiGLTest;

TEST_F(VelmoApiGLTest, EachCallWritesItsNumberedRecord)
{
    velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
    // Stray bits in the flag bytes: only bit 0 may show in the record.
    reinterpret_cast<unsigned char*>(&params)[offsetof(velmo_init_params, enable_fast_sr_smooth)] = 0x03;
    reinterpret_cast<unsigned char*>(&params)[offsetof(velmo_init_params, enable_face_protection)] = 0x02;
    velmo_init_params unwritable = default_params("/nonexistent/velmo");
    GLuint input = create_empty_texture(24, 16);
    velmo_output_frame out = {};
    auto sr = [this] { return static_cast<kx_velmo::SrRenderOhos*>(_instance); };
    auto frame = [&](int texid, int width) { process(texid, width, 16, out); };

    const struct {
        const char* step;
        std::function<void()> call;
        const char* record;
    } steps[] = {
        {"init", [&] { init(params); },
         "[VelmoApi.cpp(85)] velmo_init version: 1.1.5-250620 priority: 2 sr_level: 2 enable_edge_adaptive: 1 "
         "enable_fast_sr_smooth: 1 enable_face_protection: 0\n"},
        {"frame before a size", [&] { frame(-1, 24); },
         "[SrRenderOhos.cpp(108)] SrRender input video size invalid, skip render\n"},
        {"scale out of range", [&] { velmo_set_input_props(_instance, 24, 16, 2.5f); },
         "[VelmoApi.cpp(158)] The scale factor is out of range\n"},
        {"size", [&] { velmo_set_input_props(_instance, 24, 16, 1.5f); },
         "[VelmoApi.cpp(239)] velmo set props: width: 24, height: 16, scale: 1, render: _fast_sr_mode: 1 \n"},
        {"first frame without texture", [&] { frame(-1, 24); },
         "[SrRenderOhos.cpp(112)] SrRender input texture is null, skip render\n"},
        {"first set-up stage", [&] { frame(static_cast<int>(input), 24); }, "[SrRenderOhos.cpp(161)] gl render "},
        {"last set-up stages", [&] { frame(static_cast<int>(input), 24), frame(static_cast<int>(input), 24); },
         "[SrRenderOhos.cpp(315)] init smooth filter set params: sigma_s 0.800000 sigma_r 1.000000\n"},
        {"output beyond the GPU's limits", [&] { frame(static_cast<int>(input), 1 << 20); },
         "[SrRenderOhos.cpp(110)] SrRender size beyond the GPU limits (video 24x16, output 1572864x24), skip render\n"},
        {"negative output name", [&] { sr()->set_output_texid(-1); }, "[SrRenderOhos.cpp(830)] Invalid output texid!"},
        {"status change", [&] { sr()->set_sr_enabled_status(false); }, "[SrRenderCommon.cpp(999)] sr status has changed.\n"},
        {"release", [&] { release(); }, "[VelmoApi.cpp(292)] velmo_release\n"},
        {"release of the GPU objects", [&] { init(params), release(); },
         "[SrRenderCommon.cpp(981)] release texture and canvas done.\n"},
        {"unwritable configure.ini", [&] { init(unwritable), velmo_set_input_props(_instance, 24, 16, 1.5f); },
         "[VelmoApi.cpp(230)] open configure.ini failed\n"},
    };
    for (const auto& step : steps) {
        velmo_test::StderrCapture capture;
        step.call();
        EXPECT_NE(capture.finish().find(step.record), std::string::npos) << step.step << ": no " << step.record;
    }
    glDeleteTextures(1, &input);
}

namespace {

struct LeveledRecord {
    int32_t level;
    std::string record;
};

void collect_record(int32_t level, const char* record, void* user)
{
    static_cast<std::vector<LeveledRecord>*>(user)->push_back({level, record});
}

} // namespace

TEST_F(VelmoApiGLTest, LogHandlerReceivesEachRecordsLevel)
{
    std::vector<LeveledRecord> records;
    velmo_test::StderrCapture stderr_capture;
    velmo_set_log_handler(collect_record, &records);
    init(default_params(_config_dir.path().c_str(), 2));
    velmo_set_input_props(_instance, 24, 16, 2.5f);
    velmo_output_frame out = {};
    process(-1, 24, 16, out);
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.5f), VELMO_OK);
    GLuint input = create_empty_texture(24, 16);
    EXPECT_GE(process_until_drawn(static_cast<int>(input), 24, 16, out), 0);
    release();
    velmo_set_log_handler(nullptr, nullptr);
    glDeleteTextures(1, &input);

    EXPECT_EQ(stderr_capture.finish(), "");
    const struct {
        const char* record_start;
        int32_t level;
    } expected[] = {
        {"[VelmoApi.cpp(85)] velmo_init version: ", VELMO_LOG_INFO},
        {"[VelmoApi.cpp(158)] The scale factor is out of range\n", VELMO_LOG_ERROR},
        {"[SrRenderOhos.cpp(108)] SrRender input video size invalid", VELMO_LOG_ERROR},
        {"[VelmoApi.cpp(239)] velmo set props: ", VELMO_LOG_INFO},
        {"[GPUTexture.cpp(", VELMO_LOG_INFO},
        {"I/00000/velmo VideoDecoder: GPUVertexArray", VELMO_LOG_INFO},
        {"[SrRenderOhos.cpp(161)] gl render ", VELMO_LOG_INFO},
        {"[VelmoApi.cpp(292)] velmo_release\n", VELMO_LOG_INFO},
    };
    for (const auto& want : expected) {
        bool found = false;
        for (const LeveledRecord& got : records)
            if (got.record.rfind(want.record_start, 0) == 0) {
                found = true;
                EXPECT_EQ(got.level, want.level) << got.record;
            }
        EXPECT_TRUE(found) << "no record starting with " << want.record_start;
    }
}
