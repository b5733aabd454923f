// The tool's one error type: a message for the user and the exit status it leads to.
#pragma once

#include <stdexcept>
#include <string>

namespace velmo_upscale {

// Exit statuses, distinct per cause so that scripts can tell a bad call from a bad file.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1, // anything unforeseen
    kExitUsage = 2,   // unknown option, missing or invalid option value
    kExitInput = 3,   // input missing, unreadable or not a supported picture or video
    kExitOutput = 4,  // output cannot be written
    kExitGpu = 5,     // no EGL/OpenGL ES context, or velmo refused a frame
};

class ToolError : public std::runtime_error {
public:
    ToolError(ExitStatus status, const std::string& message)
        : std::runtime_error(message), _status(status) {}
    ExitStatus status() const { return _status; }

private:
    ExitStatus _status;
};

} // namespace velmo_upscale
