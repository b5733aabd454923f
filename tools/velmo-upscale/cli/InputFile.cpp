// Plain-file input with look-ahead that pipes can replay.
#include "InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr size_t kPngSignatureSize = 8;

} // namespace

InputFile::InputFile(const std::string& path) : _path(path), _owns_fd(path != "-")
{
    _fd = is_standard_input() ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (_fd < 0)
        throw ToolError(kExitInput, "cannot open '" + path + "': " + std::strerror(errno));
    find_size();
}

InputFile::InputFile(int fd, const std::string& name) : _path(name), _fd(fd), _owns_fd(true)
{
    find_size();
}

void InputFile::find_size()
{
    const std::string& path = _path;
    struct stat info {};
    if (::fstat(_fd, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            if (_owns_fd)
                ::close(_fd);
            throw ToolError(kExitInput, "cannot open '" + path + "': it is a folder");
        }
        if (S_ISREG(info.st_mode) && ::lseek(_fd, 0, SEEK_CUR) >= 0)
            _size = info.st_size;
    }
}

InputFile::~InputFile()
{
    if (_owns_fd)
        ::close(_fd);
}

bool InputFile::starts_with_png_signature()
{
    return look_ahead(kPngSignatureSize) == std::string(kPngSignature, kPngSignatureSize);
}

std::string InputFile::look_ahead(size_t count)
{
    while (_ahead.size() - _ahead_used < count) {
        char buffer[256];
        size_t wanted = std::min(sizeof buffer, count - (_ahead.size() - _ahead_used));
        ssize_t got = ::read(_fd, buffer, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        _ahead.append(buffer, static_cast<size_t>(got));
    }
    return _ahead.substr(_ahead_used, count);
}

size_t InputFile::read(uint8_t* buffer, size_t size)
{
    if (_ahead_used < _ahead.size()) {
        size_t count = std::min(size, _ahead.size() - _ahead_used);
        std::memcpy(buffer, _ahead.data() + _ahead_used, count);
        _ahead_used += count;
        return count;
    }
    for (;;) {
        ssize_t count = ::read(_fd, buffer, size);
        if (count >= 0)
            return static_cast<size_t>(count);
        if (errno != EINTR)
            throw ToolError(kExitInput, "cannot read '" + _path + "': " + std::strerror(errno));
    }
}

int64_t InputFile::seek(int64_t offset, int whence)
{
    if (!seekable())
        return -1;
    if (whence == SEEK_CUR)
        offset -= static_cast<int64_t>(_ahead.size() - _ahead_used);
    off_t position = ::lseek(_fd, static_cast<off_t>(offset), whence == SEEK_CUR ? SEEK_CUR : whence);
    if (position < 0)
        return -1;
    _ahead.clear();
    _ahead_used = 0;
    return position;
}

} // namespace velmo_upscale
