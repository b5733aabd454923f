// grf_log_log: builds one record per call, writes it to stderr and flushes both standard streams.
#include "grf/GRFLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {
constexpr size_t kMessageBufferSize = 4096;
}

extern "C" void grf_log_log(const char* file, const char* function, int line, const char* format, ...)
{
    (void)function;
    char message[kMessageBufferSize] = {};
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof(message), format, args);
        va_end(args);
    }

    std::string record = "[";
    record += file ? file : "";
    record += "(";
    record += std::to_string(line);
    record += ")] ";
    record += message;

    // One fwrite keeps concurrent records whole on an unbuffered stderr.
    std::fwrite(record.data(), 1, record.size(), stderr);
    std::fflush(stdout);
    std::fflush(stderr);
}
