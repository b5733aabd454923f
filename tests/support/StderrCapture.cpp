// StderrCapture: swaps file descriptor 2 for a temporary file and reads the file back.
#include "support/StderrCapture.h"

#include <unistd.h>

namespace velmo_test {

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    _file = std::tmpfile();
    _saved_fd = dup(STDERR_FILENO);
    if (_file && _saved_fd >= 0)
        dup2(fileno(_file), STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    finish();
}

std::string StderrCapture::finish()
{
    if (!_file)
        return _text;
    std::fflush(stderr);
    if (_saved_fd >= 0) {
        dup2(_saved_fd, STDERR_FILENO);
        close(_saved_fd);
        _saved_fd = -1;
    }
    std::rewind(_file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), _file)) > 0)
        _text.append(buffer, n);
    std::fclose(_file);
    _file = nullptr;
    return _text;
}

} // namespace velmo_test
