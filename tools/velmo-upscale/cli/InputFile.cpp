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

InputFile::InputFile(const std::string& path) : _path(path)
{
    _fd = is_standard_input() ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (_fd < 0)
        throw ToolError(kExitInput, "cannot open '" + path + "': " + std::strerror(errno));
    struct stat info {};
    if (::fstat(_fd, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            if (!is_standard_input())
                ::close(_fd);
            throw ToolError(kExitInput, "cannot open '" + path + "': it is a folder");
        }
        if (S_ISREG(info.st_mode) && ::lseek(_fd, 0, SEEK_CUR) >= 0)
            _size = info.st_size;
    }
}

InputFile::~InputFile()
{
    if (!is_standard_input())
        ::close(_fd);
}

bool InputFile::starts_with_png_signature()
{
    while (_ahead.size() - _ahead_used < kPngSignatureSize) {
        char buffer[kPngSignatureSize];
        size_t wanted = kPngSignatureSize - (_ahead.size() - _ahead_used);
        ssize_t count = ::read(_fd, buffer, wanted);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        _ahead.append(buffer, static_cast<size_t>(count));
    }
    return _ahead.size() - _ahead_used >= kPngSignatureSize &&
           std::memcmp(_ahead.data() + _ahead_used, kPngSignature, kPngSignatureSize) == 0;
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
