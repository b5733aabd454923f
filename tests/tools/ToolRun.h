// What a run of velmo-upscale as a shell command gave back, and the quoting that builds that command.
#pragma once

#include <string>

namespace velmo_upscale_test {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `argument` as one word of a shell command line, whatever characters it holds.
inline std::string shell_quoted(const std::string& argument)
{
    std::string result = "'";
    for (char c : argument)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

} // namespace velmo_upscale_test
