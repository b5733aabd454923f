// Every allocation the library makes, refused in turn: each call reports it by its result, the
// player's context stays current, and the instance completes its set-up and draws once memory is back.
#include <gtest/gtest.h>

#include "api/FailingAllocator.h"
#include "api/VelmoApiTestSupport.h"
#include "support/ImageCompare.h"
#include "velmo/velmo_api.h"

using velmo_test::default_params;
using velmo_test::FailingAllocator;
using velmo_test::RgbaImage;
using velmo_test::VelmoApiGLTest;

namespace {

velmo_init_params smoothing_params(const std::string& directory)
{
    // Smoothing and upscaling: every set-up stage has work to do.
    velmo_init_params params = default_params(directory.c_str(), 2);
    params.enable_fast_sr_smooth = true;
    return params;
}

} // namespace

TEST_F(VelmoApiGLTest, EveryRefusedAllocationIsReportedAndRecoveredFrom)
{
    GLuint input = create_texture(velmo_test::random_image(24, 16, 31));
    velmo_input_frame in = {24, 16, static_cast<int>(input), 0, 0};
    velmo_output_frame out = {};

    init(smoothing_params(_config_dir.path()));
    ASSERT_EQ(velmo_set_input_props(_instance, 24, 16, 1.5f), VELMO_OK);
    ASSERT_EQ(process_until_drawn(static_cast<int>(input), 24, 16, out), 3);
    const RgbaImage expected = read_texture(static_cast<GLuint>(out.texid), 36, 24);
    release();

    long failure = 1;
    for (;; ++failure) {
        SCOPED_TRACE("allocation " + std::to_string(failure) + " refused");
        FailingAllocator allocator(failure);
        const velmo_init_params params = smoothing_params(_config_dir.path());
        void* instance = velmo_init(&params);
        expect_player_current();
        if (!instance) {
            EXPECT_TRUE(allocator.fired());
            continue;
        }
        const int props = velmo_set_input_props(instance, 24, 16, 1.5f);
        EXPECT_TRUE(props == VELMO_OK || props == VELMO_ERROR_CONFIG_FILE) << props;
        for (int call = 0; call < 5; ++call) {
            const int result = velmo_process(instance, &in, &out);
            EXPECT_TRUE(result == VELMO_OK || result == VELMO_ERROR_GPU_CONTEXT) << result;
            expect_player_current();
        }

        // With memory back, what an interrupted stage left is completed, not made twice.
        allocator.pause();
        int drawn_after = -1;
        for (int call = 0; call < 6 && drawn_after < 0; ++call) {
            ASSERT_EQ(velmo_process(instance, &in, &out), VELMO_OK);
            if (out.texid != static_cast<int>(input))
                drawn_after = call;
        }
        ASSERT_GE(drawn_after, 0);
        EXPECT_TRUE(velmo_test::images_match("api_after_refused_allocation",
                                             read_texture(static_cast<GLuint>(out.texid), 36, 24), expected,
                                             velmo_test::ImageTolerance::exact()));
        allocator.resume();
        EXPECT_EQ(velmo_release(instance), VELMO_OK);
        expect_player_current();
        if (!allocator.fired())
            break;
    }
    EXPECT_GT(failure, 50) << "the library's allocations were not seen";
    glDeleteTextures(1, &input);
}
