// HiLog stand-in: formats the message and writes it to standard error as one line, or hands it
// to the sink the layer above installed (the library's log callback).
#include "hilog/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "hilog/stand_in_sink.h"

namespace {

std::atomic<HiLogStandInSink> installed_sink{nullptr};

bool to_sink(LogLevel level, const char* line)
{
    const HiLogStandInSink sink = installed_sink.load();
    return sink && sink(level, line);
}

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
    int length = 0;
    message[0] = '\0';
    if (fmt)
        length = std::vsnprintf(message, sizeof(message), fmt, args);
    va_end(args);
    if (length < 0)
        return -1;

    // Logging must not throw (it runs in destructors): without memory for the line, the message
    // goes out alone.
    try {
        std::string line;
        line += level_letter(level);
        char prefix[32];
        std::snprintf(prefix, sizeof(prefix), "/%05X/", domain);
        line += prefix;
        line += tag ? tag : "";
        line += ": ";
        line += message;
        if (line.empty() || line.back() != '\n')
            line += '\n';
        if (!to_sink(level, line.c_str()))
            std::fwrite(line.data(), 1, line.size(), stderr);
        return static_cast<int>(line.size());
    } catch (...) {
        if (to_sink(level, message))
            return length;
        return std::fprintf(stderr, "%s\n", message);
    }
}

void hilog_stand_in_set_sink(HiLogStandInSink sink)
{
    installed_sink.store(sink);
}
