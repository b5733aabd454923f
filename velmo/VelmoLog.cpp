// The public log interface: velmo_set_log_callback and velmo_set_log_handler route the records of
// grf's logger and of the HiLog stand-in to the host, with their levels.
#include "velmo/velmo_api.h"

#include <pthread.h>

#include "grf/GRFLog.h"
#include "hilog/stand_in_sink.h"

static_assert(static_cast<int>(GRFLogLevel::info) == VELMO_LOG_INFO, "grf's levels are the public ones");
static_assert(static_cast<int>(GRFLogLevel::warn) == VELMO_LOG_WARN, "grf's levels are the public ones");
static_assert(static_cast<int>(GRFLogLevel::error) == VELMO_LOG_ERROR, "grf's levels are the public ones");
constexpr bool same_level(LogLevel hilog, int level)
{
    return static_cast<int>(hilog) == level;
}
static_assert(same_level(LOG_DEBUG, VELMO_LOG_DEBUG) && same_level(LOG_INFO, VELMO_LOG_INFO) &&
                  same_level(LOG_WARN, VELMO_LOG_WARN) && same_level(LOG_ERROR, VELMO_LOG_ERROR) &&
                  same_level(LOG_FATAL, VELMO_LOG_FATAL),
              "HiLog's levels are the public ones");

namespace {

// The host's receiver: at most one of the two kinds is set. The lock is held while a record is
// delivered, so once a setter returns, the receiver it replaced is not running and is never called
// again. It is recursive so that a receiver may itself log or replace itself, and a pthread mutex
// because its failures are return values, not exceptions.
pthread_mutex_t receiver_mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
velmo_log_callback receiver_callback = nullptr;
velmo_log_handler receiver_handler = nullptr;
void* receiver_user = nullptr;

class ReceiverLock {
public:
    ReceiverLock() : _locked(pthread_mutex_lock(&receiver_mutex) == 0) {}
    ~ReceiverLock()
    {
        if (_locked)
            pthread_mutex_unlock(&receiver_mutex);
    }
    ReceiverLock(const ReceiverLock&) = delete;
    ReceiverLock& operator=(const ReceiverLock&) = delete;

private:
    bool _locked;
};

bool deliver(int32_t level, const char* record)
{
    ReceiverLock lock;
    if (receiver_handler)
        receiver_handler(level, record, receiver_user);
    else if (receiver_callback)
        receiver_callback(record, receiver_user);
    else
        return false;
    return true;
}

bool deliver_grf_record(GRFLogLevel level, const char* record)
{
    return deliver(static_cast<int32_t>(level), record);
}

bool deliver_hilog_line(LogLevel level, const char* line)
{
    return deliver(static_cast<int32_t>(level), line);
}

void set_receiver(velmo_log_callback callback, velmo_log_handler handler, void* user)
{
    // The sinks only look the receiver up, so they stay installed once a host has set one.
    grf_log_set_sink(deliver_grf_record);
    hilog_stand_in_set_sink(deliver_hilog_line);
    ReceiverLock lock;
    receiver_callback = callback;
    receiver_handler = handler;
    receiver_user = callback || handler ? user : nullptr;
}

} // namespace

extern "C" VELMO_API void velmo_set_log_callback(velmo_log_callback callback, void* user)
{
    set_receiver(callback, nullptr, user);
}

extern "C" VELMO_API void velmo_set_log_handler(velmo_log_handler handler, void* user)
{
    set_receiver(nullptr, handler, user);
}
