// output_of_child: fork, both standard streams into one pipe, read until the child is gone.
#include "support/ChildOutput.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace velmo_test {

std::string output_of_child(const std::function<void()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[1]);
        body();
        std::fflush(nullptr);
        _exit(0);
    }
    close(fds[1]);
    std::string output;
    char buffer[8192];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof(buffer))) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return output;
}

} // namespace velmo_test
