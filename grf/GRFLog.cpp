// grf_log_log: builds one record per call, hands it to the installed sink (standard error unless a
// host set a callback) and flushes both standard streams.
#include "grf/GRFLog.h"

#include <cstdarg>
#include <cstdio>

#include <pthread.h>

#include "velmo/velmo_api.h"

namespace {
constexpr size_t kMessageBufferSize = 4096;
// Room for "[" + file name + "(" + line + ")] " in front of the message.
constexpr size_t kPrefixBufferSize = 512;

// The process-wide sink. The lock is held while a record is delivered, so once
// velmo_set_log_callback returns, the callback it replaced is not running and is never called
// again. It is recursive so that a callback may itself log or replace the sink, and a pthread
// mutex because its failures are return values, not exceptions.
pthread_mutex_t sink_mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
velmo_log_callback sink_callback = nullptr;
void* sink_user = nullptr;

class SinkLock {
public:
    SinkLock() : _locked(pthread_mutex_lock(&sink_mutex) == 0) {}
    ~SinkLock()
    {
        if (_locked)
            pthread_mutex_unlock(&sink_mutex);
    }
    SinkLock(const SinkLock&) = delete;
    SinkLock& operator=(const SinkLock&) = delete;

private:
    bool _locked;
};
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

    {
        SinkLock lock;
        if (sink_callback)
            sink_callback(record, sink_user);
        else
            // One fwrite keeps concurrent records whole on an unbuffered stderr.
            std::fwrite(record, 1, size, stderr);
    }
    std::fflush(stdout);
    std::fflush(stderr);
}

bool grf_log_to_host(const char* record)
{
    SinkLock lock;
    if (!sink_callback)
        return false;
    sink_callback(record, sink_user);
    return true;
}

extern "C" VELMO_API void velmo_set_log_callback(velmo_log_callback callback, void* user)
{
    SinkLock lock;
    sink_callback = callback;
    sink_user = callback ? user : nullptr;
}
