// Linux stand-in for OpenHarmony's HiLog interface: same signature and enum values.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    LOG_APP = 0,
} LogType;

typedef enum {
    LOG_DEBUG = 3,
    LOG_INFO = 4,
    LOG_WARN = 5,
    LOG_ERROR = 6,
    LOG_FATAL = 7,
} LogLevel;

// Writes one line "<level letter>/<domain hex>/<tag>: <message>" to standard error.
int OH_LOG_Print(LogType type, LogLevel level, unsigned int domain, const char* tag, const char* fmt, ...)
    __attribute__((__format__(printf, 5, 6)));

#ifdef __cplusplus
}
#endif
