// The C interface on Mesa: settings, scale checks, the set-up sequence, output sizes, configure.ini,
// the pipeline choice and the player's EGL state after every call.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "api/ExpectedConfig.h"
#include "api/VelmoApiTestSupport.h"
#include "support/StderrCapture.h"
#include "velmo/SrRenderOhos.h"
#include "velmo/velmo_api.h"

using velmo_test::default_params;
using velmo_test::TemporaryDirectory;
using velmo_test::VelmoApiGLTest;

namespace {

kx_velmo::SrRenderOhos* renderer(void* instance)
{
    return static_cast<kx_velmo::SrRenderOhos*>(instance);
}

void append_record(const char* record, void* user)
{
    static_cast<std::string*>(user)->append(record);
}


} // namespace

TEST_F(VelmoApiGLTest, InitCopiesAndClampsSettings)
{
    velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
    params.sr_level = 7;
    params.sigma_s = 0.1f;
    params.sigma_r = 5.0f;
    params.enable_edge_adaptive = false;
    params.enable_fast_sr_smooth = true;
    params.enable_face_protection = true;
    init(params);
    kx_velmo::SrRenderOhos* sr = renderer(_instance);
    EXPECT_FLOAT_EQ(sr->_usm_sharpness, 1.5f) << "an unknown level keeps the default";
    EXPECT_EQ(sr->_sr_level, 7);
    EXPECT_FLOAT_EQ(sr->_sigma_s, 0.25f);
    EXPECT_FLOAT_EQ(sr->_sigma_r, 3.0f);
    EXPECT_FALSE(sr->_enable_edge_adaptive);
    EXPECT_TRUE(sr->_enable_fast_sr_smooth);
    EXPECT_TRUE(sr->_enable_face_protection);
    EXPECT_FALSE(sr->_priority_eq0);
    EXPECT_TRUE(sr->_priority_eq2);
    EXPECT_EQ(sr->_config_dir, _config_dir.path());
    EXPECT_EQ(sr->_video_width, -1);
    EXPECT_GE(sr->get_texture_id(), 1) << "the constructor creates the external-image texture";
    release();

    // NaN passes every bound: it keeps the defaults instead.
    params.sigma_s = params.sigma_r = std::nanf("");
    init(params);
    EXPECT_FLOAT_EQ(renderer(_instance)->_sigma_s, 0.8f);
    EXPECT_FLOAT_EQ(renderer(_instance)->_sigma_r, 1.0f);
}

TEST_F(VelmoApiGLTest, SharpnessFollowsLevel)
{
    const struct {
        int level;
        float custom;
        float expected;
    } cases[] = {{1, 0.0f, 2.0f},  {2, 0.0f, 1.5f}, {3, 0.0f, 1.0f}, {0, -4.0f, -4.0f}, {0, 0.7f, 0.7f},
                 {0, std::nanf(""), 1.5f}, {0, -std::numeric_limits<float>::infinity(), 1.5f}};
    for (const auto& c : cases) {
        velmo_init_params params = default_params(_config_dir.path().c_str());
        params.sr_level = c.level;
        params.custom_sharpness = c.custom;
        params.sigma_s = 1.7f;
        init(params);
        EXPECT_FLOAT_EQ(renderer(_instance)->_usm_sharpness, c.expected) << "level " << c.level;
        EXPECT_FLOAT_EQ(renderer(_instance)->_sigma_s, 1.7f);
        release();
    }
}

TEST_F(VelmoApiGLTest, ScaleRangeIncludingNonFiniteValues)
{
    init(default_params(_config_dir.path().c_str()));
    EXPECT_EQ(velmo_set_input_props(_instance, 64, 36, 2.0f), VELMO_OK);
    EXPECT_EQ(velmo_set_input_props(_instance, 64, 36, 0.0f), VELMO_OK);
    EXPECT_FLOAT_EQ(renderer(_instance)->_scale, 0.0f);
    for (float bad : {2.0001f, -0.5f, std::nanf(""), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(velmo_set_input_props(_instance, 64, 36, bad), VELMO_ERROR_SCALE) << bad;
        EXPECT_FLOAT_EQ(renderer(_instance)->_scale, 0.0f) << "a rejected scale changes nothing";
    }
}

TEST_F(VelmoApiGLTest, ConfigureIniIsWrittenOnceWithExactBytes)
{
    init(default_params(_config_dir.path().c_str()));
    ASSERT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.5f), VELMO_OK);
    const std::string path = _config_dir.path() + "/configure.ini";
    EXPECT_EQ(velmo_test::read_file(path), velmo_test::kConfigFor1280x720);
    EXPECT_EQ(renderer(_instance)->_config_path, path);

    // A later call changes the scale only.
    ASSERT_EQ(velmo_set_input_props(_instance, 640, 360, 1.2f), VELMO_OK);
    EXPECT_EQ(velmo_test::read_file(path), velmo_test::kConfigFor1280x720);
    EXPECT_EQ(renderer(_instance)->_video_width, 1280);
    EXPECT_FLOAT_EQ(renderer(_instance)->_scale, 1.2f);
    EXPECT_EQ(_config_dir.entries(), std::vector<std::string>{"configure.ini"});
}

TEST_F(VelmoApiGLTest, ConfigDirectoryEndingInSlash)
{
    const std::string directory = _config_dir.path() + "/";
    init(default_params(directory.c_str()));
    ASSERT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.5f), VELMO_OK);
    EXPECT_EQ(renderer(_instance)->_config_path, _config_dir.path() + "//configure.ini");
    EXPECT_EQ(velmo_test::read_file(_config_dir.path() + "/configure.ini"), velmo_test::kConfigFor1280x720);
}

TEST_F(VelmoApiGLTest, UnwritableConfigDirectoryKeepsSizeAndChoice)
{
    // A regular file where the directory should be is no directory either.
    const std::string file = _config_dir.path() + "/file";
    std::fclose(std::fopen(file.c_str(), "w"));
    for (const char* directory : {"/nonexistent/velmo", file.c_str(), static_cast<const char*>(nullptr)}) {
        init(default_params(directory));
        EXPECT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.5f), VELMO_ERROR_CONFIG_FILE);
        EXPECT_EQ(renderer(_instance)->_video_width, 1280);
        EXPECT_EQ(renderer(_instance)->_fast_sr_mode, 1);
        EXPECT_EQ(renderer(_instance)->_config_path, "");
        // The size is recorded, so the file is not retried.
        EXPECT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.5f), VELMO_OK);
        release();
    }
}

TEST_F(VelmoApiGLTest, ZeroSizeRecordsNothing)
{
    init(default_params(_config_dir.path().c_str()));
    EXPECT_EQ(velmo_set_input_props(_instance, 0, 720, 1.5f), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_EQ(velmo_set_input_props(_instance, 1280, -3, 1.25f), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_FLOAT_EQ(renderer(_instance)->_scale, 1.25f) << "the scale is taken before the size is checked";
    EXPECT_EQ(renderer(_instance)->_video_width, -1);
    EXPECT_TRUE(_config_dir.entries().empty());

    EXPECT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.5f), VELMO_OK);
    EXPECT_EQ(renderer(_instance)->_video_width, 1280);
    EXPECT_EQ(velmo_test::read_file(_config_dir.path() + "/configure.ini"), velmo_test::kConfigFor1280x720);

    // Once a size is recorded, the size arguments are not looked at.
    EXPECT_EQ(velmo_set_input_props(_instance, 0, -1, 1.75f), VELMO_OK);
    EXPECT_FLOAT_EQ(renderer(_instance)->_scale, 1.75f);
    EXPECT_EQ(renderer(_instance)->_video_width, 1280);
}

TEST_F(VelmoApiGLTest, PipelineChoicePerPriority)
{
    const struct {
        int priority;
        int width, height;
        int mode;
    } cases[] = {{0, 1920, 1080, 0}, {1, 1024, 576, 0}, {1, 1280, 720, 1}, {1, 960, 540, 0},
                 {2, 640, 360, 1},   {3, 1920, 1080, 0}, {5, 1026, 576, 1}};
    for (const auto& c : cases) {
        TemporaryDirectory directory;
        init(default_params(directory.path().c_str(), c.priority));
        ASSERT_EQ(velmo_set_input_props(_instance, c.width, c.height, 1.5f), VELMO_OK);
        EXPECT_EQ(renderer(_instance)->_fast_sr_mode, c.mode)
            << "priority " << c.priority << " " << c.width << "x" << c.height;
        // The file does not depend on the priority: ten lines, 390 bytes besides the size digits.
        const size_t digits = std::to_string(c.width).size() + std::to_string(c.height).size();
        EXPECT_EQ(velmo_test::read_file(directory.path() + "/configure.ini").size(), 390u + digits);
        release();
    }
}

TEST_F(VelmoApiGLTest, FramesBeforeSizeAreRejected)
{
    init(default_params(_config_dir.path().c_str()));
    GLuint input = create_empty_texture(16, 8);
    velmo_output_frame out = {};
    EXPECT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_GT(out.texid, 0);
    EXPECT_NE(out.texid, static_cast<int>(input));
    EXPECT_EQ(out.width, 32) << "the default scale is 2";
    EXPECT_EQ(out.height, 16);
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, PlainPathPassesTwoFramesThrough)
{
    init(default_params(_config_dir.path().c_str(), 0));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.5f), VELMO_OK);
    GLuint input = create_texture(velmo_test::random_image(16, 8, 3));
    velmo_output_frame out = {};
    for (int call = 0; call < 2; ++call) {
        ASSERT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_OK);
        EXPECT_EQ(out.texid, static_cast<int>(input)) << "call " << call << " passes the input through";
        EXPECT_EQ(out.width, 24);
        EXPECT_EQ(out.height, 12);
    }
    ASSERT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_OK);
    EXPECT_NE(out.texid, static_cast<int>(input));
    const int output = out.texid;
    ASSERT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_OK);
    EXPECT_EQ(out.texid, output) << "the output texture keeps its name";
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, LogCallbackTakesEveryRecordOfAnInstance)
{
    std::string records;
    velmo_test::StderrCapture stderr_capture;
    velmo_set_log_callback(append_record, &records);
    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.5f), VELMO_OK);
    GLuint input = create_texture(velmo_test::random_image(16, 8, 3));
    velmo_output_frame out = {};
    EXPECT_GE(process_until_drawn(static_cast<int>(input), 16, 8, out), 0);
    release();
    velmo_set_log_callback(nullptr, nullptr);
    glDeleteTextures(1, &input);

    EXPECT_EQ(stderr_capture.finish(), "");
    EXPECT_NE(records.find("[VelmoApi.cpp(85)] velmo_init version: "), std::string::npos) << records;
    EXPECT_NE(records.find("velmo VideoDecoder: GPUVertexArray"), std::string::npos) << records;
    EXPECT_NE(records.find("velmo_release\n"), std::string::npos) << records;
}

TEST_F(VelmoApiGLTest, UpscalingPathPassesThreeFramesThrough)
{
    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.5f), VELMO_OK);
    GLuint input = create_texture(velmo_test::random_image(16, 8, 4));
    velmo_output_frame out = {};
    EXPECT_EQ(process_until_drawn(static_cast<int>(input), 16, 8, out), 3);
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, MissingInputTextureAndReuseOfThePrevious)
{
    init(default_params(_config_dir.path().c_str(), 0));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.0f), VELMO_OK);
    velmo_output_frame out = {};
    EXPECT_EQ(process(-1, 16, 8, out), VELMO_ERROR_NO_TEXTURE);
    EXPECT_EQ(out.width, 16);

    const velmo_test::RgbaImage image = velmo_test::random_image(16, 8, 5);
    GLuint input = create_texture(image);
    ASSERT_EQ(process_until_drawn(static_cast<int>(input), 16, 8, out), 2);
    const velmo_test::RgbaImage first = read_texture(static_cast<GLuint>(out.texid), 16, 8);

    // A negative name keeps drawing the previous frame's texture.
    ASSERT_EQ(process(-1, 16, 8, out), VELMO_OK);
    EXPECT_EQ(read_texture(static_cast<GLuint>(out.texid), 16, 8).pixels, first.pixels);
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, UnknownTextureTypeLeavesOutputUntouched)
{
    init(default_params(_config_dir.path().c_str()));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.5f), VELMO_OK);
    velmo_output_frame out = {11, 22, 33};
    EXPECT_EQ(process(5, 16, 8, out, 2), VELMO_OK);
    EXPECT_EQ(out.width, 11);
    EXPECT_EQ(out.height, 22);
    EXPECT_EQ(out.texid, 33);
}

TEST_F(VelmoApiGLTest, OutputSizesTruncateTheSinglePrecisionProduct)
{
    init(default_params(_config_dir.path().c_str()));
    ASSERT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.5f), VELMO_OK);
    GLuint input = create_empty_texture(4, 4);
    velmo_output_frame out = {};
    ASSERT_EQ(process(static_cast<int>(input), 1280, 720, out), VELMO_OK);
    EXPECT_EQ(out.width, 1920);
    EXPECT_EQ(out.height, 1080);

    ASSERT_EQ(velmo_set_input_props(_instance, 1280, 720, 1.3f), VELMO_OK);
    ASSERT_EQ(process(static_cast<int>(input), 1280, 720, out), VELMO_OK);
    EXPECT_EQ(out.width, 1664);
    EXPECT_EQ(out.height, 935) << "720 x 1.3 is 935.99994 in single precision";

    // velmo_output_size predicts what velmo_process draws, for awkward products too.
    for (float scale : {1.3f, 0.7f, 1.999f, 0.01f}) {
        ASSERT_EQ(velmo_set_input_props(_instance, 1280, 720, scale), VELMO_OK);
        ASSERT_EQ(process(static_cast<int>(input), 1279, 719, out), VELMO_OK);
        int32_t width = -1, height = -1;
        EXPECT_EQ(velmo_output_size(1279, 719, scale, &width, &height), VELMO_OK);
        EXPECT_EQ(width, out.width) << scale;
        EXPECT_EQ(height, out.height) << scale;
    }
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, UndrawableOutputSizesAreRejected)
{
    init(default_params(_config_dir.path().c_str()));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 2.0f), VELMO_OK);
    GLuint input = create_empty_texture(4, 4);
    velmo_output_frame out = {};

    // 2^30 x 2 does not fit an int: no undefined conversion, no drawing.
    EXPECT_EQ(process(static_cast<int>(input), 1 << 30, 8, out), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_GT(out.texid, 0);
    EXPECT_EQ(out.width, 0);
    EXPECT_EQ(out.height, 16);

    EXPECT_EQ(process(static_cast<int>(input), 0, 8, out), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_EQ(out.width, 0);
    EXPECT_EQ(process(static_cast<int>(input), -48, -36, out), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_EQ(out.width, 0) << "a negative size is no size";
    EXPECT_EQ(out.height, 0);
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 0.0f), VELMO_OK);
    EXPECT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_ERROR_VIDEO_SIZE) << "scale 0 gives 0 x 0";
    EXPECT_FALSE(renderer(_instance)->_base_ready) << "no set-up work on an undrawable frame";
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, OwnContextFailureKeepsPlayerContext)
{
    // A context that loses itself on reset cannot share objects with the library's context, which
    // asks for the default reset behaviour: creating that context fails.
    eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    const EGLint robust_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY_EXT,
                                        EGL_LOSE_CONTEXT_ON_RESET_EXT, EGL_NONE};
    EGLContext robust = eglCreateContext(display(), EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, robust_attributes);
    if (robust == EGL_NO_CONTEXT)
        GTEST_SKIP() << "no context with a reset notification strategy on this driver";
    ASSERT_TRUE(eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, robust));

    const velmo_init_params params = default_params(_config_dir.path().c_str());
    _instance = velmo_init(&params);
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.5f), VELMO_OK);
    velmo_input_frame in = {16, 8, 1, 0, 0};
    velmo_output_frame out = {};
    EXPECT_EQ(velmo_process(_instance, &in, &out), VELMO_ERROR_GPU_CONTEXT);
    EXPECT_EQ(eglGetCurrentContext(), robust);
    EXPECT_EQ(velmo_process(_instance, &in, &out), VELMO_ERROR_GPU_CONTEXT) << "retried on every call";
    EXPECT_EQ(eglGetCurrentContext(), robust);

    EXPECT_EQ(velmo_release(_instance), 0);
    _instance = nullptr;
    EXPECT_EQ(eglGetCurrentContext(), robust);
    eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, context());
    eglDestroyContext(display(), robust);
}
