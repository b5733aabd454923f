// The C interface without a GPU: version, result texts, NULL arguments.
#include "velmo/velmo_api.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

TEST(VelmoApi, VersionIsStableStaticText)
{
    const char* first = velmo_version();
    EXPECT_STREQ(first, "1.1.5-250620");
    EXPECT_EQ(velmo_version(), first);
}

TEST(VelmoApi, VersionMacrosMatchTheLibrary)
{
    EXPECT_STREQ(velmo_version(), VELMO_VERSION_STRING);
    const std::string numbers = std::to_string(VELMO_VERSION_MAJOR) + "." + std::to_string(VELMO_VERSION_MINOR) + "." +
                                std::to_string(VELMO_VERSION_PATCH) + "-";
    EXPECT_EQ(std::string(velmo_version()).rfind(numbers, 0), 0u) << velmo_version();
}

TEST(VelmoApi, EveryResultCodeHasItsOwnText)
{
    const int32_t codes[] = {VELMO_OK, VELMO_ERROR_CONFIG_FILE, VELMO_ERROR_GPU_CONTEXT, VELMO_ERROR_VIDEO_SIZE,
                             VELMO_ERROR_NO_TEXTURE, VELMO_ERROR_INVALID_ARGUMENT, VELMO_ERROR_SCALE};
    const std::string unknown = velmo_result_string(-201);
    std::set<std::string> texts;
    for (int32_t code : codes) {
        const std::string text = velmo_result_string(code);
        EXPECT_NE(text, unknown) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), sizeof(codes) / sizeof(codes[0]));
    EXPECT_EQ(unknown, "unknown result code");
    EXPECT_EQ(velmo_result_string(1), unknown);
    EXPECT_EQ(velmo_result_string(INT32_MIN), unknown);
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

TEST(VelmoApi, DefaultParamsAreTheDocumentedSettings)
{
    velmo_init_params params;
    std::memset(&params, 0x5A, sizeof params);
    ASSERT_EQ(velmo_default_params(&params), VELMO_OK);
    // Every byte, the record having no padding: no field is left as the caller's memory had it.
    const velmo_init_params documented = {nullptr, 2, 2, 1.5f, true, false, false, 0, 0.8f, 1.0f};
    EXPECT_EQ(std::memcmp(&params, &documented, sizeof params), 0);
    EXPECT_EQ(velmo_default_params(nullptr), VELMO_ERROR_INVALID_ARGUMENT);
}

TEST(VelmoApi, OutputSizeRejectsWhatVelmoCannotDraw)
{
    int32_t width = 7, height = 8;
    EXPECT_EQ(velmo_output_size(1280, 720, 1.3f, &width, &height), VELMO_OK);
    EXPECT_EQ(width, 1664);
    EXPECT_EQ(height, 935);

    struct Case {
        int32_t width, height;
        float scale;
        int32_t result;
    };
    for (const Case& c : {Case{0, 720, 1.5f, VELMO_ERROR_VIDEO_SIZE}, Case{-16, 8, 1.5f, VELMO_ERROR_VIDEO_SIZE},
                          Case{1, 1, 0.5f, VELMO_ERROR_VIDEO_SIZE}, Case{1 << 30, 8, 2.0f, VELMO_ERROR_VIDEO_SIZE},
                          Case{16, 8, 2.0001f, VELMO_ERROR_SCALE}, Case{16, 8, -0.5f, VELMO_ERROR_SCALE},
                          Case{16, 8, std::nanf(""), VELMO_ERROR_SCALE}}) {
        width = height = 7;
        EXPECT_EQ(velmo_output_size(c.width, c.height, c.scale, &width, &height), c.result) << c.width << " " << c.scale;
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
    }
    EXPECT_EQ(velmo_output_size(16, 8, 1.5f, nullptr, &height), VELMO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(velmo_output_size(16, 8, 1.5f, &width, nullptr), VELMO_ERROR_INVALID_ARGUMENT);
}
