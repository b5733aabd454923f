// Temporary-then-rename output files with the permissions an ordinary new file would get.
#include "OutputFile.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

// The temporary names of outputs being written, read by the signal handler: fixed storage and
// plain pointers, since a handler may touch nothing that could be half-changed when it runs.
constexpr int kSignalSlots = 8;
const char* volatile g_unfinished[kSignalSlots] = {};

void remove_unfinished(int signal_number)
{
    for (const char* volatile& slot : g_unfinished) {
        const char* path = slot;
        if (path)
            ::unlink(path);
    }
    // The handler was installed with SA_RESETHAND: this ends the process as the signal says.
    ::raise(signal_number);
}

} // namespace

void remove_unfinished_outputs_on_signals()
{
    struct sigaction action {};
    action.sa_handler = remove_unfinished;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal_number, &action, nullptr);
}

OutputFile::OutputFile(std::string final_path) : _final_path(std::move(final_path))
{
    struct stat info {};
    if (::stat(_final_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw ToolError(kExitOutput, "cannot write '" + _final_path + "': it is a folder");

    size_t slash = _final_path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : _final_path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? _final_path : _final_path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".velmo-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        throw ToolError(kExitOutput, "cannot write '" + _final_path + "': " + std::strerror(errno));
    // mkstemp creates the file private to its owner; the result should look like any new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    _temporary_path = buffer.data();
    for (int slot = 0; slot < kSignalSlots && _signal_slot < 0; ++slot) {
        if (!g_unfinished[slot]) {
            g_unfinished[slot] = _temporary_path.c_str();
            _signal_slot = slot;
        }
    }
}

OutputFile::~OutputFile()
{
    if (_signal_slot >= 0)
        g_unfinished[_signal_slot] = nullptr;
    if (!_committed)
        ::unlink(_temporary_path.c_str());
}

void OutputFile::commit()
{
    if (std::rename(_temporary_path.c_str(), _final_path.c_str()) != 0)
        throw ToolError(kExitOutput, "cannot write '" + _final_path + "': " + std::strerror(errno));
    _committed = true;
    if (_signal_slot >= 0)
        g_unfinished[_signal_slot] = nullptr;
    _signal_slot = -1;
}

bool same_file(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace velmo_upscale
