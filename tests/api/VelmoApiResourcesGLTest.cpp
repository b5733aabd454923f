// The C interface on Mesa: GL objects and process memory over many frames and many instances.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "api/VelmoApiTestSupport.h"
#include "velmo/velmo_api.h"

using velmo_test::default_params;
using velmo_test::VelmoApiGLTest;

namespace {

// AddressSanitizer keeps freed memory in quarantine, and ThreadSanitizer keeps its records of
// every range it has seen, so the resident size grows without a leak; under AddressSanitizer its
// leak checker watches for lost memory instead.
// The sanitized builds are ten times slower; a few cycles are enough for the leak checker.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentSizeTracksLeaks = false;
constexpr int kInstanceCycles = 20;
#else
constexpr bool kResidentSizeTracksLeaks = true;
constexpr int kInstanceCycles = 300;
#endif

// Resident set size of this process in KiB.
long resident_kib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Texture and program names alive in the share group, among the first `limit` names.
struct SharedNames {
    std::set<GLuint> textures;
    std::set<GLuint> programs;
    bool operator==(const SharedNames& other) const
    {
        return textures == other.textures && programs == other.programs;
    }
};

SharedNames live_names(GLuint limit = 512)
{
    SharedNames names;
    for (GLuint name = 1; name < limit; ++name) {
        if (glIsTexture(name))
            names.textures.insert(name);
        if (glIsProgram(name))
            names.programs.insert(name);
    }
    return names;
}

std::set<GLuint> difference(const std::set<GLuint>& a, const std::set<GLuint>& b)
{
    std::set<GLuint> result;
    for (GLuint name : a) {
        if (!b.count(name))
            result.insert(name);
    }
    return result;
}

} // namespace

TEST_F(VelmoApiGLTest, DrawnFramesCreateNoGLObjects)
{
    for (bool smoothing : {false, true}) {
        velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
        params.enable_fast_sr_smooth = smoothing;
        init(params);
        ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.5f), VELMO_OK);
        GLuint input = create_texture(velmo_test::random_image(24, 16, 6));
        velmo_output_frame out = {};
        ASSERT_EQ(process_until_drawn(static_cast<int>(input), 24, 16, out), 3);
        const SharedNames after_setup = live_names();
        for (int frame = 0; frame < 20; ++frame)
            ASSERT_EQ(process(static_cast<int>(input), 24, 16, out), VELMO_OK);
        EXPECT_TRUE(live_names() == after_setup) << "smoothing " << smoothing;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glDeleteTextures(1, &input);
        release();
    }
}

TEST_F(VelmoApiGLTest, ReleaseDeletesTheInstancesObjectsOnly)
{
    GLuint player_texture = create_texture(velmo_test::random_image(24, 16, 7));
    const SharedNames before = live_names();

    velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
    params.enable_fast_sr_smooth = true;
    init(params);
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.5f), VELMO_OK);
    velmo_output_frame out = {};
    ASSERT_EQ(process_until_drawn(static_cast<int>(player_texture), 24, 16, out), 3);
    const SharedNames with_instance = live_names();
    const std::set<GLuint> instance_textures = difference(with_instance.textures, before.textures);
    const std::set<GLuint> instance_programs = difference(with_instance.programs, before.programs);
    EXPECT_GE(instance_textures.size(), 5u) << "output, copies, smoothing targets, external image";
    EXPECT_GE(instance_programs.size(), 3u);

    release();
    for (GLuint name : instance_textures)
        EXPECT_FALSE(glIsTexture(name)) << "texture " << name << " survived the release";
    for (GLuint name : instance_programs)
        EXPECT_FALSE(glIsProgram(name)) << "program " << name << " survived the release";
    EXPECT_TRUE(glIsTexture(player_texture)) << "the player's texture is the player's";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteTextures(1, &player_texture);
}

TEST_F(VelmoApiGLTest, ManyInstancesKeepMemoryFlat)
{
    GLuint input = create_texture(velmo_test::random_image(32, 18, 8));
    auto cycle = [&] {
        velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
        void* instance = velmo_init(&params);
        velmo_set_input_props(instance, 32, 18, 1.5f);
        velmo_input_frame in = {32, 18, static_cast<int>(input), 0, 0};
        velmo_output_frame out = {};
        for (int frame = 0; frame < 10; ++frame)
            velmo_process(instance, &in, &out);
        velmo_release(instance);
    };
    for (int warm_up = 0; warm_up < kInstanceCycles / 10; ++warm_up)
        cycle();
    const long start = resident_kib();
    for (int i = 0; i < kInstanceCycles; ++i)
        cycle();
    const long end = resident_kib();
    std::printf("%d init / 10 frames / release cycles: resident %ld KiB -> %ld KiB (%+ld KiB)\n", kInstanceCycles,
                start, end, end - start);
    RecordProperty("rss_growth_kib", static_cast<int>(end - start));
    if (kResidentSizeTracksLeaks) {
        EXPECT_LT(end - start, 4096) << "memory grows with every instance";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    expect_player_current();
    glDeleteTextures(1, &input);
}

TEST_F(VelmoApiGLTest, ManyFramesKeepMemoryFlat)
{
    velmo_init_params params = default_params(_config_dir.path().c_str(), 2);
    params.enable_fast_sr_smooth = true;
    init(params);
    ASSERT_EQ(velmo_set_input_props(_instance, 32, 18, 1.5f), VELMO_OK);
    GLuint input = create_texture(velmo_test::random_image(32, 18, 9));
    velmo_output_frame out = {};
    for (int frame = 0; frame < 100; ++frame)
        ASSERT_EQ(process(static_cast<int>(input), 32, 18, out), VELMO_OK);
    const long start = resident_kib();
    for (int frame = 0; frame < 2000; ++frame) {
        velmo_input_frame in = {32, 18, static_cast<int>(input), 0, 0};
        ASSERT_EQ(velmo_process(_instance, &in, &out), VELMO_OK);
    }
    const long end = resident_kib();
    std::printf("2,000 frames on one instance: resident %ld KiB -> %ld KiB (%+ld KiB)\n", start, end, end - start);
    RecordProperty("rss_growth_kib", static_cast<int>(end - start));
    if (kResidentSizeTracksLeaks) {
        EXPECT_LT(end - start, 1024) << "memory grows with every frame";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    expect_player_current();
    glDeleteTextures(1, &input);
}
