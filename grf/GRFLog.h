// grf_log_log: the library's one diagnostic channel, and GRF_LOG, which fills in the call site.
#pragma once

#include <cstring>

#include "grf/GRFExport.h"

extern "C" {

// Formats the printf-style message (cut to 4095 characters) and hands one record
// "[" file "(" line ")] " message to the log sink (standard error, or the host's callback set with
// velmo_set_log_callback), then flushes stdout and stderr.
// `function` is accepted for the call site's benefit and not written.
GRF_EXPORT void grf_log_log(const char* file, const char* function, int line, const char* format, ...)
    __attribute__((__format__(printf, 4, 5)));
}

// Hands a finished record to the host's callback when one is set (velmo_set_log_callback) and
// returns true; false when records go to standard error. For the library's other log writers.
bool grf_log_to_host(const char* record);

// The base name of the current source file: the text after its last '/'.
#define GRF_FILE_BASENAME (std::strrchr(__FILE__, '/') ? std::strrchr(__FILE__, '/') + 1 : __FILE__)

#define GRF_LOG(...) grf_log_log(GRF_FILE_BASENAME, __func__, __LINE__, __VA_ARGS__)
