// Temporary-then-rename output files with the permissions an ordinary new file would get.
#include "OutputFile.h"

#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>
#include <vector>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

// The temporary names of outputs being written, read by the signal handler: fixed storage and
// plain pointers, since a handler may touch nothing that could be half-changed when it runs.
constexpr int kSignalSlots = 8;
const char* volatile g_unfinished[kSignalSlots] = {};

// ".NAME.velmo-XXXXXX" adds this much to the output's name.
constexpr size_t kTemporaryExtra = 14;

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

std::string folder_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// The path with every symbolic link at its end followed, dangling ones included (the file is then
// created where the link points).
std::string follow_links(std::string path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::vector<char> target(PATH_MAX + 1);
        ssize_t length = ::readlink(path.c_str(), target.data(), PATH_MAX);
        if (length <= 0)
            return path;
        std::string link(target.data(), static_cast<size_t>(length));
        path = link[0] == '/' ? link : folder_of(path) + link;
    }
    return path;
}

// The longest file name the folder takes; 255 where it does not say.
size_t longest_name(const std::string& folder)
{
    long longest = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<size_t>(longest) : 255;
}

// `name` cut to at most `length` bytes without splitting a UTF-8 character.
std::string shortened(const std::string& name, size_t length)
{
    if (name.size() <= length)
        return name;
    size_t end = length;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80)
        --end;
    return name.substr(0, end);
}

} // namespace

void remove_unfinished_outputs_on_signals()
{
    struct sigaction action {};
    action.sa_handler = remove_unfinished;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        ::sigaction(signal_number, &action, nullptr);
}

OutputFile::OutputFile(std::string final_path) : _final_path(std::move(final_path))
{
    if (_final_path == "-") {
        _write_path = _final_path;
        return;
    }
    _target_path = follow_links(_final_path);
    struct stat info {};
    if (::stat(_target_path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            throw ToolError(kExitOutput, "cannot write '" + _final_path + "': it is a folder");
        if (!S_ISREG(info.st_mode)) {
            // A pipe or a device: written into as it is, nothing to replace.
            if (::access(_target_path.c_str(), W_OK) != 0)
                throw ToolError(kExitOutput, "cannot write '" + _final_path + "': " + std::strerror(errno));
            _write_path = _target_path;
            return;
        }
    }

    std::string folder = folder_of(_target_path);
    size_t room = longest_name(folder);
    std::string name = shortened(name_of(_target_path), room > kTemporaryExtra ? room - kTemporaryExtra : 1);
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
    _write_path = buffer.data();
    _temporary = true;
    for (int slot = 0; slot < kSignalSlots && _signal_slot < 0; ++slot) {
        if (!g_unfinished[slot]) {
            g_unfinished[slot] = _write_path.c_str();
            _signal_slot = slot;
        }
    }
}

OutputFile::~OutputFile()
{
    if (_signal_slot >= 0)
        g_unfinished[_signal_slot] = nullptr;
    if (_temporary && !_committed)
        ::unlink(_write_path.c_str());
}

void OutputFile::commit()
{
    if (_temporary && std::rename(_write_path.c_str(), _target_path.c_str()) != 0)
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

bool same_destination(const std::string& a, const std::string& b)
{
    if (a == b || same_file(a, b))
        return true;
    auto resolved = [](const std::string& path) {
        std::string target = follow_links(path);
        std::string folder = folder_of(target);
        char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
        std::string result = real ? std::string(real) + "/" + name_of(target) : target;
        std::free(real);
        return result;
    };
    return resolved(a) == resolved(b);
}

void confirm_overwrite(const std::string& path, Overwrite policy, bool input_from_stdin)
{
    struct stat info {};
    if (path == "-" || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || policy == Overwrite::Always)
        return;
    if (policy == Overwrite::Never)
        throw ToolError(kExitOutput, "'" + path + "' already exists; not overwritten (-n)");
    if (input_from_stdin || !::isatty(STDIN_FILENO))
        throw ToolError(kExitOutput, "'" + path + "' already exists; -y overwrites it");
    std::fprintf(stderr, "velmo-upscale: '%s' already exists. Overwrite? [y/N] ", path.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer) || (answer != "y" && answer != "Y" && answer != "yes"))
        throw ToolError(kExitOutput, "'" + path + "' already exists; not overwritten");
}

} // namespace velmo_upscale
