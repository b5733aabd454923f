// The C interface driven as a careless caller would: stray flag bits, sizes at the GPU's limits,
// sizes that change after set-up, replaced output textures and calls without a current context.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "api/VelmoApiTestSupport.h"
#include "support/ImageCompare.h"
#include "velmo/SrRenderOhos.h"
#include "velmo/velmo_api.h"

using velmo_test::default_params;
using velmo_test::RgbaImage;
using velmo_test::VelmoApiGLTest;

namespace {

kx_velmo::SrRenderOhos* renderer(void* instance)
{
    return static_cast<kx_velmo::SrRenderOhos*>(instance);
}

struct Size {
    int width;
    int height;
    bool operator==(const Size& other) const { return width == other.width && height == other.height; }
};

std::ostream& operator<<(std::ostream& stream, const Size& size)
{
    return stream << size.width << "x" << size.height;
}

// The size of level 0 of a texture, asked in the player's context; the 2D binding is restored.
Size texture_size(int texid)
{
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texid));
    Size size = {0, 0};
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size.height);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return size;
}

// The largest side a render target may have in the player's context.
int largest_target_side()
{
    GLint max_texture = 0;
    GLint max_viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, max_viewport);
    return std::min({max_texture, max_viewport[0], max_viewport[1]});
}

uint8_t byte_of(const bool& flag)
{
    uint8_t byte = 0;
    std::memcpy(&byte, &flag, 1);
    return byte;
}

} // namespace

TEST_F(VelmoApiGLTest, FlagBytesReadOnlyBitZero)
{
    velmo_init_params params = default_params(_config_dir.path().c_str());
    unsigned char* record = reinterpret_cast<unsigned char*>(&params);
    record[offsetof(velmo_init_params, enable_edge_adaptive)] = 0x03;
    record[offsetof(velmo_init_params, enable_fast_sr_smooth)] = 0x02;
    record[offsetof(velmo_init_params, enable_face_protection)] = 0xFF;
    init(params);
    EXPECT_EQ(byte_of(renderer(_instance)->_enable_edge_adaptive), 1);
    EXPECT_EQ(byte_of(renderer(_instance)->_enable_fast_sr_smooth), 0);
    EXPECT_EQ(byte_of(renderer(_instance)->_enable_face_protection), 1);
}

TEST_F(VelmoApiGLTest, SizesBeyondTheGpuLimitsAreRefusedBeforeAllocating)
{
    const int limit = largest_target_side();
    ASSERT_GT(limit, 0);
    GLuint input = create_empty_texture(4, 4);
    velmo_output_frame out = {};

    // An output exactly at the limit is drawn; one pixel more is refused and the texture kept.
    init(default_params(_config_dir.path().c_str(), 0));
    ASSERT_EQ(velmo_set_input_props(_instance, limit, 2, 1.0f), VELMO_OK);
    ASSERT_EQ(process_until_drawn(static_cast<int>(input), limit, 2, out), 2);
    EXPECT_EQ(texture_size(out.texid), (Size{limit, 2}));
    EXPECT_EQ(process(static_cast<int>(input), limit + 1, 2, out), VELMO_ERROR_VIDEO_SIZE);
    EXPECT_EQ(out.width, limit + 1);
    EXPECT_EQ(texture_size(out.texid), (Size{limit, 2}));
    EXPECT_EQ(process(static_cast<int>(input), 2, limit + 1, out), VELMO_ERROR_VIDEO_SIZE);
    release();

    // A recorded video size beyond the limit is refused even when the output would fit.
    for (int side : {limit + 1, 33554432}) {
        init(default_params(_config_dir.path().c_str(), 2));
        ASSERT_EQ(velmo_set_input_props(_instance, side, 2, 2.0f), VELMO_OK);
        EXPECT_EQ(process(static_cast<int>(input), 8, 2, out), VELMO_ERROR_VIDEO_SIZE) << side;
        EXPECT_EQ(process(static_cast<int>(input), 8, 2, out), VELMO_ERROR_VIDEO_SIZE) << side;
        EXPECT_FALSE(renderer(_instance)->_base_ready);
        EXPECT_EQ(renderer(_instance)->_input_copy_texture, nullptr);
        release();
    }
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, OutputTextureFollowsTheOutputSizeOnBothPaths)
{
    const RgbaImage image = velmo_test::random_image(32, 24, 21);
    GLuint input = create_texture(image);
    for (int priority : {0, 2}) {
        // What an instance set up at scale 2 draws: the reference for one re-scaled after set-up.
        init(default_params(_config_dir.path().c_str(), priority));
        ASSERT_EQ(velmo_set_input_props(_instance, 32, 24, 2.0f), VELMO_OK);
        velmo_output_frame out = {};
        ASSERT_GE(process_until_drawn(static_cast<int>(input), 32, 24, out), 2);
        const RgbaImage expected = read_texture(static_cast<GLuint>(out.texid), 64, 48);
        release();

        init(default_params(_config_dir.path().c_str(), priority));
        ASSERT_EQ(velmo_set_input_props(_instance, 32, 24, 1.5f), VELMO_OK);
        ASSERT_GE(process_until_drawn(static_cast<int>(input), 32, 24, out), 2);
        EXPECT_EQ(texture_size(out.texid), (Size{48, 36}));
        ASSERT_EQ(velmo_set_input_props(_instance, 32, 24, 2.0f), VELMO_OK);
        ASSERT_EQ(process(static_cast<int>(input), 32, 24, out), VELMO_OK);
        EXPECT_EQ(texture_size(out.texid), (Size{out.width, out.height})) << "priority " << priority;
        EXPECT_TRUE(velmo_test::images_match("api_rescaled_output", read_texture(static_cast<GLuint>(out.texid), 64, 48),
                                             expected, velmo_test::ImageTolerance::exact()))
            << "priority " << priority;

        // A frame of another size than the recorded one.
        ASSERT_EQ(process(static_cast<int>(input), 50, 40, out), VELMO_OK);
        EXPECT_EQ(texture_size(out.texid), (Size{100, 80})) << "priority " << priority;
        release();
    }
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, ReplacedOutputTextureTakesTheCurrentOutputSize)
{
    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.0f), VELMO_OK);
    GLuint input = create_texture(velmo_test::random_image(24, 16, 22));
    velmo_output_frame out = {};
    ASSERT_EQ(process_until_drawn(static_cast<int>(input), 24, 16, out), 3);

    // The plain path resizes its canvas; the upscaling canvas still has the set-up size.
    renderer(_instance)->set_enable_sr(false);
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 2.0f), VELMO_OK);
    ASSERT_EQ(process(static_cast<int>(input), 24, 16, out), VELMO_OK);
    GLuint replacement = create_empty_texture(4, 4);
    ASSERT_EQ(renderer(_instance)->set_output_texid(static_cast<int>(replacement)), 0);
    expect_player_current();
    EXPECT_EQ(texture_size(static_cast<int>(replacement)), (Size{48, 32}));
    renderer(_instance)->set_enable_sr(true);
    ASSERT_EQ(process(static_cast<int>(input), 24, 16, out), VELMO_OK);
    EXPECT_EQ(out.texid, static_cast<int>(replacement));
    EXPECT_EQ(texture_size(out.texid), (Size{48, 32}));

    // Immutable storage cannot follow the output size: such a texture is refused.
    GLuint immutable = 0;
    glGenTextures(1, &immutable);
    glBindTexture(GL_TEXTURE_2D, immutable);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, 48, 32);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(renderer(_instance)->set_output_texid(static_cast<int>(immutable)), -1);
    ASSERT_EQ(process(static_cast<int>(input), 24, 16, out), VELMO_OK);
    EXPECT_EQ(out.texid, static_cast<int>(replacement));

    release();
    glDeleteTextures(1, &immutable);
    glDeleteTextures(1, &replacement);
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, NoCurrentContextChangesNothing)
{
    init(default_params(_config_dir.path().c_str(), 0));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.0f), VELMO_OK);
    ASSERT_TRUE(eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT));
    velmo_input_frame in = {16, 8, 1, 0, 0};
    velmo_output_frame out = {7, 8, 9};
    EXPECT_EQ(velmo_process(_instance, &in, &out), VELMO_ERROR_GPU_CONTEXT);
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_EQ(out.width, 7);
    EXPECT_EQ(out.height, 8);
    EXPECT_EQ(out.texid, 9);
    ASSERT_TRUE(eglMakeCurrent(display(), EGL_NO_SURFACE, EGL_NO_SURFACE, context()));
    EXPECT_EQ(renderer(_instance)->_output_texture, nullptr);
    EXPECT_FALSE(renderer(_instance)->_input_texture2D);
}

TEST_F(VelmoApiGLTest, SetUpFrameWithoutTextureShowsTheKeptInput)
{
    init(default_params(_config_dir.path().c_str(), 0));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.0f), VELMO_OK);
    GLuint input = create_empty_texture(16, 8);
    velmo_output_frame out = {};
    ASSERT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_OK);
    ASSERT_EQ(process(-1, 16, 8, out), VELMO_OK);
    EXPECT_EQ(out.texid, static_cast<int>(input));
    glDeleteTextures(1, &input);
}

namespace {

struct SamplingState {
    GLint min_filter, mag_filter, wrap_s, wrap_t;
    bool operator==(const SamplingState& other) const
    {
        return min_filter == other.min_filter && mag_filter == other.mag_filter && wrap_s == other.wrap_s &&
               wrap_t == other.wrap_t;
    }
};

SamplingState sampling_state(GLuint texture)
{
    SamplingState state = {};
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &state.min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &state.mag_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &state.wrap_s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &state.wrap_t);
    glBindTexture(GL_TEXTURE_2D, 0);
    return state;
}

} // namespace

// The output texture is what the header says, and the caller's sampling state survives a
// reallocation at a new output size without changing what velmo draws.
TEST_F(VelmoApiGLTest, OutputTextureIsMutableRgbaLinearAndKeepsTheCallersSamplingState)
{
    const RgbaImage image = velmo_test::random_image(16, 8, 23);
    GLuint input = create_texture(image);
    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 2.0f), VELMO_OK);
    velmo_output_frame out = {};
    ASSERT_GE(process_until_drawn(static_cast<int>(input), 16, 8, out), 0);
    const RgbaImage expected = read_texture(static_cast<GLuint>(out.texid), 32, 16);
    release();

    init(default_params(_config_dir.path().c_str(), 2));
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 1.5f), VELMO_OK);
    ASSERT_GE(process_until_drawn(static_cast<int>(input), 16, 8, out), 0);
    const GLuint output = static_cast<GLuint>(out.texid);
    EXPECT_EQ(sampling_state(output), (SamplingState{GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE}));
    glBindTexture(GL_TEXTURE_2D, output);
    GLint internal_format = 0;
    GLint red_bits = 0;
    GLint alpha_bits = 0;
    GLint immutable = 1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal_format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red_bits);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha_bits);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_IMMUTABLE_FORMAT, &immutable);
    EXPECT_EQ(internal_format, GL_RGBA);
    EXPECT_EQ(red_bits, 8);
    EXPECT_EQ(alpha_bits, 8);
    EXPECT_EQ(immutable, GL_FALSE);

    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    ASSERT_EQ(velmo_set_input_props(_instance, 16, 8, 2.0f), VELMO_OK);
    ASSERT_EQ(process(static_cast<int>(input), 16, 8, out), VELMO_OK);
    ASSERT_EQ(out.texid, static_cast<int>(output));
    EXPECT_EQ(sampling_state(output), (SamplingState{GL_NEAREST, GL_NEAREST, GL_REPEAT, GL_MIRRORED_REPEAT}));
    EXPECT_TRUE(velmo_test::images_match("api_output_sampling_state", read_texture(output, 32, 16), expected,
                                         velmo_test::ImageTolerance::exact()));
    glDeleteTextures(1, &input);
}
