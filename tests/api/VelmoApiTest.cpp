// The C interface without a GPU: version, NULL arguments.
#include "velmo/velmo_api.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(VelmoApi, VersionIsStableStaticText)
{
    const char* first = velmo_version();
    EXPECT_STREQ(first, "1.1.5-250620");
    EXPECT_EQ(velmo_version(), first);
}

TEST(VelmoApi, NullArgumentsAreRejectedWithoutTouchingAnything)
{
    EXPECT_EQ(velmo_init(nullptr), nullptr);
    EXPECT_EQ(velmo_release(nullptr), 0);
    EXPECT_EQ(velmo_set_input_props(nullptr, 1280, 720, 1.5f), VELMO_ERROR_INVALID_ARGUMENT);

    velmo_input_frame in = {1280, 720, 1, 0, 0};
    velmo_output_frame out = {7, 8, 9};
    EXPECT_EQ(velmo_process(nullptr, &in, &out), VELMO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(out.width, 7);
    EXPECT_EQ(out.height, 8);
    EXPECT_EQ(out.texid, 9);
}
