// Temporary-then-rename output files with the permissions an ordinary new file would get.
#include "OutputFile.h"

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
}

OutputFile::~OutputFile()
{
    if (!_committed)
        ::unlink(_temporary_path.c_str());
}

void OutputFile::commit()
{
    if (std::rename(_temporary_path.c_str(), _final_path.c_str()) != 0)
        throw ToolError(kExitOutput, "cannot write '" + _final_path + "': " + std::strerror(errno));
    _committed = true;
}

bool same_file(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace velmo_upscale
