// HiLog stand-in: formats the message and writes it to standard error as one line, or hands it
// to the host's log callback when one is set, like every other record of the library.
#include "hilog/log.h"

#include <cstdarg>
#include <cstdio>

#include "grf/GRFLog.h"

namespace {

char level_letter(LogLevel level)
{
    switch (level) {
    case LOG_DEBUG: return 'D';
    case LOG_INFO: return 'I';
    case LOG_WARN: return 'W';
    case LOG_ERROR: return 'E';
    case LOG_FATAL: return 'F';
    }
    return '?';
}

} // namespace

extern "C" int OH_LOG_Print(LogType type, LogLevel level, unsigned int domain, const char* tag, const char* fmt, ...)
{
    (void)type;
    char message[4096];
    va_list args;
    va_start(args, fmt);
    int length = std::vsnprintf(message, sizeof(message), fmt ? fmt : "", args);
    va_end(args);
    if (length < 0)
        return -1;

    // Built on the stack: logging allocates nothing, so it cannot throw (it runs in destructors).
    char line[4200];
    int size = std::snprintf(line, sizeof(line) - 1, "%c/%05X/%s: %s", level_letter(level), domain, tag ? tag : "",
                             message);
    if (size < 0)
        return -1;
    if (static_cast<size_t>(size) > sizeof(line) - 2)
        size = static_cast<int>(sizeof(line) - 2);
    if (size == 0 || line[size - 1] != '\n')
        line[size++] = '\n';
    line[size] = '\0';
    if (!grf_log_to_host(line))
        std::fwrite(line, 1, static_cast<size_t>(size), stderr);
    return size;
}
