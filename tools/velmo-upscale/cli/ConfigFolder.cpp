// The configure.ini folder: the user's choice, checked, or a per-user cache folder.
#include "ConfigFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

bool is_folder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_folder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && is_folder(path));
}

} // namespace

std::string config_folder(const std::string& requested)
{
    if (!requested.empty()) {
        if (!is_folder(requested))
            throw ToolError(kExitUsage, "--config-dir '" + requested + "' is not an existing folder");
        return requested;
    }
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (cache && *cache)
        base = cache;
    else if (home && *home && make_folder(std::string(home) + "/.cache"))
        base = std::string(home) + "/.cache";
    if (!base.empty() && make_folder(base) && make_folder(base + "/velmo"))
        return base + "/velmo";
    const char* temporary = std::getenv("TMPDIR");
    return temporary && *temporary ? temporary : "/tmp";
}

} // namespace velmo_upscale
