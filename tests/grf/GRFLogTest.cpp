// grf_log_log: record format, message cut, and the order in which the standard streams are flushed.
#include "grf/GRFLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/ChildOutput.h"

using velmo_test::output_of_child;

namespace {

// Keeps -Wformat-zero-length quiet about deliberately empty or computed formats.
const char* runtime_format(const char* format)
{
    return format;
}

} // namespace

TEST(GRFLog, RecordFormat)
{
    EXPECT_EQ(output_of_child([] { grf_log_log("Matrix.cpp", "operator*", 96, "shape %d x %d\n", 4, 3); }),
              "[Matrix.cpp(96)] shape 4 x 3\n");
    EXPECT_EQ(output_of_child([] { grf_log_log("VelmoApi.cpp", "velmo_init", -1, "x"); }), "[VelmoApi.cpp(-1)] x");
    EXPECT_EQ(output_of_child([] { grf_log_log("a", "f", 0, "%s", "no line end"); }), "[a(0)] no line end");
}

TEST(GRFLog, EmptyFormatEndsWithPrefix)
{
    EXPECT_EQ(output_of_child([] { grf_log_log("GPUShader.cpp", "f", 7, runtime_format("")); }),
              "[GPUShader.cpp(7)] ");
}

TEST(GRFLog, MessageIsCutAt4095Characters)
{
    const std::string exact(4095, 'a');
    EXPECT_EQ(output_of_child([&] { grf_log_log("f", "g", 1, "%s", exact.c_str()); }), "[f(1)] " + exact);

    const std::string longer = std::string(4095, 'b') + "cdef";
    EXPECT_EQ(output_of_child([&] { grf_log_log("f", "g", 1, "%s", longer.c_str()); }),
              "[f(1)] " + std::string(4095, 'b'));
}

TEST(GRFLog, MacroPassesBaseNameOfThisFile)
{
    const int line = __LINE__ + 1;
    std::string record = output_of_child([] { GRF_LOG("hello %s\n", "log"); });
    EXPECT_EQ(record, "[GRFLogTest.cpp(" + std::to_string(line) + ")] hello log\n");
}

TEST(GRFLog, FlushesStdoutBeforeStderr)
{
    // Both streams fully buffered: what reaches the pipe first is what was flushed first.
    std::string output = output_of_child([] {
        static char out_buffer[256], err_buffer[256];
        std::setvbuf(stdout, out_buffer, _IOFBF, sizeof(out_buffer));
        std::setvbuf(stderr, err_buffer, _IOFBF, sizeof(err_buffer));
        std::fputs("pending stdout|", stdout);
        grf_log_log("f", "g", 2, "record");
        std::fputs("|after", stdout);
        _exit(0);  // skip exit-time flushing: only what grf_log_log flushed may arrive
    });
    EXPECT_EQ(output, "pending stdout|[f(2)] record");
}
