// grf_log_log: builds one record per call, writes it to stderr and flushes both standard streams.
#include "grf/GRFLog.h"

#include <cstdarg>
#include <cstdio>

namespace {
constexpr size_t kMessageBufferSize = 4096;
// Room for "[" + file name + "(" + line + ")] " in front of the message.
constexpr size_t kPrefixBufferSize = 512;
} // namespace

// Everything is built in fixed buffers on the stack: logging allocates nothing, so it cannot
// throw, also on the out-of-memory paths and in destructors that log.
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

    char record[kPrefixBufferSize + kMessageBufferSize];
    int length = std::snprintf(record, sizeof(record), "[%s(%d)] %s", file ? file : "", line, message);
    if (length < 0)
        return;
    const size_t size = static_cast<size_t>(length) < sizeof(record) ? static_cast<size_t>(length) : sizeof(record) - 1;

    // One fwrite keeps concurrent records whole on an unbuffered stderr.
    std::fwrite(record, 1, size, stderr);
    std::fflush(stdout);
    std::fflush(stderr);
}
