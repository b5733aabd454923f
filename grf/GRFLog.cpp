// grf_log_log: builds one record per call, hands it to the sink the layer above installed (standard
// error when there is none or it declines) and flushes both standard streams.
#include "grf/GRFLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
constexpr size_t kMessageBufferSize = 4096;
// Room for "[" + file name + "(" + line + ")] " in front of the message.
constexpr size_t kPrefixBufferSize = 512;

// Constant-initialised, so records logged while the library's static objects are built find it.
std::atomic<GRFLogSink> installed_sink{nullptr};

// Everything is built in fixed buffers on the stack: logging allocates nothing, so it cannot
// throw, also on the out-of-memory paths and in destructors that log.
void log_record(GRFLogLevel level, const char* file, int line, const char* format, va_list args)
{
    char message[kMessageBufferSize] = {};
    if (format)
        std::vsnprintf(message, sizeof(message), format, args);

    char record[kPrefixBufferSize + kMessageBufferSize];
    int length = std::snprintf(record, sizeof(record), "[%s(%d)] %s", file ? file : "", line, message);
    if (length < 0)
        return;
    const size_t size = static_cast<size_t>(length) < sizeof(record) ? static_cast<size_t>(length) : sizeof(record) - 1;

    const GRFLogSink sink = installed_sink.load();
    if (!sink || !sink(level, record))
        // One fwrite keeps concurrent records whole on an unbuffered stderr.
        std::fwrite(record, 1, size, stderr);
    std::fflush(stdout);
    std::fflush(stderr);
}
} // namespace

extern "C" void grf_log_log(const char* file, const char* function, int line, const char* format, ...)
{
    (void)function;
    va_list args;
    va_start(args, format);
    log_record(GRFLogLevel::error, file, line, format, args);
    va_end(args);
}

void grf_log_at(GRFLogLevel level, const char* file, const char* function, int line, const char* format, ...)
{
    (void)function;
    va_list args;
    va_start(args, format);
    log_record(level, file, line, format, args);
    va_end(args);
}

void grf_log_set_sink(GRFLogSink sink)
{
    installed_sink.store(sink);
}
