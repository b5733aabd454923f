// Redirection of file descriptor 2 around library calls; stdio's buffer is flushed on both edges
// so that the tool's own messages keep their place.
#include "LibraryLogGate.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace velmo_upscale {

LibraryLogGate::LibraryLogGate(bool silence)
{
    if (!silence)
        return;
    int null_device = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_device < 0)
        return;
    std::fflush(stderr);
    _saved = ::dup(STDERR_FILENO);
    if (_saved >= 0)
        ::dup2(null_device, STDERR_FILENO);
    ::close(null_device);
}

LibraryLogGate::~LibraryLogGate()
{
    if (_saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(_saved, STDERR_FILENO);
    ::close(_saved);
}

} // namespace velmo_upscale
