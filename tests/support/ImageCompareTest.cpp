// The image comparison's failure artefacts land in the build folder, not where the test was started.
#include "support/ImageCompare.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/TemporaryDirectory.h"

using velmo_test::failed_images_folder;
using velmo_test::images_match;
using velmo_test::ImageTolerance;
using velmo_test::RgbaImage;
using velmo_test::TemporaryDirectory;

TEST(ImageCompare, FailureImagesGoToTheBuildFolderFromAnyWorkingDirectory)
{
    TemporaryDirectory elsewhere;
    char* started_in = getcwd(nullptr, 0);
    ASSERT_NE(started_in, nullptr);
    ASSERT_EQ(chdir(elsewhere.path().c_str()), 0);
    RgbaImage actual(2, 2);
    RgbaImage expected(2, 2);
    expected.pixels[0] = 255;
    const ::testing::AssertionResult result = images_match("image_compare_self_test", actual, expected,
                                                           ImageTolerance::exact());
    EXPECT_EQ(chdir(started_in), 0);
    free(started_in);

    EXPECT_FALSE(result);
    EXPECT_TRUE(elsewhere.entries().empty()) << "failure images written into the working directory";
    EXPECT_EQ(failed_images_folder().rfind(VELMO_BUILD_DIR "/", 0), 0u) << failed_images_folder();
    for (const char* suffix : {"_actual.png", "_expected.png", "_diff.png"}) {
        const std::string written = failed_images_folder() + "/image_compare_self_test" + suffix;
        EXPECT_EQ(access(written.c_str(), R_OK), 0) << written;
        std::remove(written.c_str());
    }
}
