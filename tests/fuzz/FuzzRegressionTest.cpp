// The fuzz checks on every seed input and on every input that once broke a promise
// (fuzz/regressions/<target>/), so that a fault the fuzzers found stays fixed in the normal suites.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Checks.h"

namespace {

using Check = std::string (*)(const std::uint8_t*, std::size_t);

void check_inputs(Check check, const std::string& target)
{
    std::vector<std::filesystem::path> files;
    for (const char* folder : {"corpus", "regressions"}) {
        const std::filesystem::path path = std::filesystem::path(VELMO_FUZZ_DIR) / folder / target;
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                files.push_back(entry.path());
        }
    }
    ASSERT_FALSE(files.empty()) << "no inputs for " << target;
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream stream(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        EXPECT_EQ(check(bytes.data(), bytes.size()), "") << file;
    }
}

} // namespace

#ifdef VELMO_FUZZ_CPU
TEST(FuzzRegression, CpuRoutines)
{
    check_inputs(velmo_fuzz::check_cpu_routines, "cpu_routines");
}

TEST(FuzzRegression, UpscaleRgba)
{
    check_inputs(velmo_fuzz::check_upscale_rgba, "upscale_rgba");
}
#endif

#ifdef VELMO_FUZZ_API
TEST(FuzzRegression, ApiCalls)
{
    check_inputs(velmo_fuzz::check_api_calls, "api_calls");
}
#endif

#ifdef VELMO_FUZZ_TOOL
TEST(FuzzRegression, ToolOptions)
{
    check_inputs(velmo_fuzz::check_tool_options, "tool_options");
}

TEST(FuzzRegression, PngReader)
{
    check_inputs(velmo_fuzz::check_png_reader, "png_reader");
}

TEST(FuzzRegression, VideoReader)
{
    check_inputs(velmo_fuzz::check_video_reader, "video_reader");
}
#endif
