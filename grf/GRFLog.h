// grf_log_log: the library's one diagnostic channel, GRF_LOG, which fills in the call site, and the
// sink through which the layer above receives the records.
#pragma once

#include <cstring>

#include "grf/GRFExport.h"

// How much a record matters. The values are HiLog's, so a record keeps its level on every platform.
enum class GRFLogLevel : int {
    info = 4,
    warn = 5,
    error = 6,
};

extern "C" {

// Formats the printf-style message (cut to 4095 characters) and hands one record
// "[" file "(" line ")] " message, of level error, to the log sink (standard error unless the layer
// above set a sink that takes it), then flushes stdout and stderr.
// `function` is accepted for the call site's benefit and not written.
GRF_EXPORT void grf_log_log(const char* file, const char* function, int line, const char* format, ...)
    __attribute__((__format__(printf, 4, 5)));
}

// grf_log_log with the record's level given.
void grf_log_at(GRFLogLevel level, const char* file, const char* function, int line, const char* format, ...)
    __attribute__((__format__(printf, 5, 6)));

// Receives one finished record with its level and returns true when it took it; false sends the
// record to standard error. It may be called from any thread, several at once.
using GRFLogSink = bool (*)(GRFLogLevel level, const char* record);

// Installs the sink for every later record; nullptr leaves records on standard error. Only the
// layer that owns the library's public log interface sets it: grf knows nothing of that interface.
void grf_log_set_sink(GRFLogSink sink);

// The base name of the current source file: the text after its last '/'.
#define GRF_FILE_BASENAME (std::strrchr(__FILE__, '/') ? std::strrchr(__FILE__, '/') + 1 : __FILE__)

#define GRF_LOG(...) grf_log_log(GRF_FILE_BASENAME, __func__, __LINE__, __VA_ARGS__)
#define GRF_LOG_AT(level, ...) grf_log_at(level, GRF_FILE_BASENAME, __func__, __LINE__, __VA_ARGS__)
